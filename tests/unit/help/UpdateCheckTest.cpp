#include "LoopbackServer.h"
#include "NotedDialogs.h"
#include "TempDir.h"

#include "desktop/help/DownloadFile.h"
#include "desktop/help/HelpCommands.h"
#include "desktop/help/ProfileInt.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

// Bytes of every value, CR LF and NUL among them, in an order that shows any lost or repeated
// piece: more than a hundred 512-byte blocks and an odd tail.
QByteArray BinaryBody(int size) {
    QByteArray body(size, '\0');
    quint32 state = 12345;
    for (char& c : body) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 23);
    }
    return body;
}

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// A port held by a socket that is bound but never listens: connecting to it is refused, and
// no other program (a test running beside this one) can take the port meanwhile, as it could a
// port that was merely free a moment ago.
class DeadServer {
public:
    DeadServer() : m_socket(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ADD_FAILURE() << "no port for a dead server";
            return;
        }
        m_url = QStringLiteral("http://127.0.0.1:%1").arg(ntohs(address.sin_port));
    }
    ~DeadServer() {
        if (m_socket >= 0) {
            ::close(m_socket);
        }
    }
    DeadServer(const DeadServer&) = delete;
    DeadServer& operator=(const DeadServer&) = delete;
    const QString& url() const { return m_url; }

private:
    int m_socket;
    QString m_url;
};

class DownloadFileTest : public ::testing::Test {
protected:
    test::TempDir folder{"kinovex download"};
    test::LoopbackServer server;
    QString Url() const { return server.url() + QStringLiteral("/version.ini"); }
};

TEST_F(DownloadFileTest, WritesExactlyTheServedBytesOverAnyOldFile) {
    ASSERT_TRUE(server.listening());
    const fs::path target = folder / "copy.bin";
    const QByteArray body = BinaryBody(70001);
    for (const bool withLength : {true, false}) {
        SCOPED_TRACE(withLength ? "with Content-Length" : "ended by the connection");
        test::WriteFile(target, std::string(200000, 'x')); // longer: must be cut
        server.Respond("200 OK", body, withLength, "application/octet-stream");
        EXPECT_EQ(DownloadFile(Url(), Q(target)), QStringLiteral("YES"));
        EXPECT_EQ(test::ReadFile(target), body.toStdString());
    }

    // An empty file is a file too: the old content goes.
    server.Respond("200 OK", {});
    EXPECT_EQ(DownloadFile(Url(), Q(target)), QStringLiteral("YES"));
    EXPECT_TRUE(fs::exists(target));
    EXPECT_EQ(fs::file_size(target), 0u);

    // Every fetch asks for the server's own copy, not a cache's.
    ASSERT_GE(server.requests().size(), 3u);
    for (const QByteArray& head : server.requests()) {
        EXPECT_TRUE(head.startsWith("GET /version.ini HTTP/1.1\r\n")) << head.constData();
        EXPECT_TRUE(head.contains("no-cache")) << head.constData();
    }
}

TEST_F(DownloadFileTest, FailuresGiveTheErrorTextAndLeaveTheOldFile) {
    const fs::path target = folder / "version.ini";
    test::WriteFile(target, "[Gerneral]\nversion=100\n");

    // An error page is not the file, whatever it holds.
    server.Respond("404 Not Found", "<html><body>[Gerneral] version=999</body></html>", true,
                   "text/html");
    const QString notFound = DownloadFile(Url(), Q(target));
    EXPECT_NE(notFound, QStringLiteral("YES"));
    EXPECT_TRUE(notFound.contains(QStringLiteral("Not Found"))) << notFound.toStdString();
    EXPECT_EQ(test::ReadFile(target), "[Gerneral]\nversion=100\n");

    // Nobody listening.
    const DeadServer dead;
    const QString noServer = DownloadFile(dead.url() + QStringLiteral("/version.ini"), Q(target));
    EXPECT_TRUE(noServer.contains(QStringLiteral("refused"), Qt::CaseInsensitive))
        << noServer.toStdString();
    EXPECT_EQ(test::ReadFile(target), "[Gerneral]\nversion=100\n");

    // The file cannot be made: the file system's reason.
    server.Respond("200 OK", "[Gerneral]\nversion=101\n");
    const QString unwritable = DownloadFile(Url(), Q(folder / "missing" / "version.ini"));
    EXPECT_NE(unwritable, QStringLiteral("YES"));
    EXPECT_FALSE(unwritable.isEmpty());
}

TEST_F(DownloadFileTest, ASilentServerIsGivenUp) {
    // Takes the connection and the request, and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const fs::path target = folder / "version.ini";
    test::WriteFile(target, "old");
    const QString result =
        DownloadFile(QStringLiteral("http://127.0.0.1:%1/version.ini").arg(silent.serverPort()),
                     Q(target), std::chrono::milliseconds(50));
    EXPECT_EQ(result, QStringLiteral("The server did not answer in time."));
    EXPECT_EQ(test::ReadFile(target), "old");
}

TEST(ReadProfileInt, FindsTheKeyOnlyInItsSection) {
    test::TempDir folder;
    const fs::path file = folder / "version.ini";
    const QString path = Q(file);
    const auto read = [&](const std::string& text) {
        test::WriteFile(file, text);
        return ReadProfileInt(path, QStringLiteral("Gerneral"), QStringLiteral("version"), 0);
    };
    EXPECT_EQ(read("[Gerneral]\r\nversion=101\r\n"), 101);
    EXPECT_EQ(read("\xEF\xBB\xBF[gerneral]\n  Version = 205 ; beta\n"), 205);
    EXPECT_EQ(read("[Other]\nversion=300\n[Gerneral]\nbuild=7\nversion=102\n"), 102);
    EXPECT_EQ(read("[General]\nversion=300\n"), 0); // the correct spelling is another section
    EXPECT_EQ(read("[Gerneral]\n;version=300\nname=version=301\n"), 0);
    EXPECT_EQ(read("[Gerneral]\nversion=99999999999\n"), 2147483647);
    EXPECT_EQ(read("<html><body>[Gerneral]\nversion=300</body></html>"), 0);
    EXPECT_EQ(ReadProfileInt(Q(folder / "none.ini"), QStringLiteral("Gerneral"),
                             QStringLiteral("version"), 42),
              42);
}

// The whole command as the main window runs it: the program folder and the settings of a
// temporary home, the message boxes and the opener recorded.
class CheckForUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listening());
        UseServer(server.url());
        m_dialogs.onBox = [this](const QString& text, const QString&) {
            messages.push_back(text.toStdString());
        };
        m_dialogs.onOpen = [this](const QString& url) {
            opened.push_back(url.toStdString());
            return true;
        };
    }
    void UseServer(const QString& url) {
        test::WriteFile(home / "kinovex.conf", "[Moviqa]\nUpdateServer=" + url.toStdString() +
                                                   "/\nWebsite=https://example.test/kinovex\n");
    }

    // Runs one check against what the server answers; the messages and openings of that check.
    void Check(const QByteArray& status, const QByteArray& body) {
        messages.clear();
        opened.clear();
        server.Respond(status, body);
        CheckForUpdate(m_dialogs, nullptr);
    }

    test::TempDir programFolder{"kinovex program"};
    test::TempDir home{"kinovex home"};
    test::ScopedEnv programEnv{"KINOVEX_PROGRAM_FOLDER", programFolder.str()};
    test::ScopedEnv settingsEnv{"KINOVEX_SETTINGS", (home / "kinovex.conf").string()};
    test::LoopbackServer server;
    std::vector<std::string> messages;
    std::vector<std::string> opened;
    test::NotedDialogs m_dialogs;
};

TEST_F(CheckForUpdateTest, OnlyAVersionAbove100IsNewAndOpensTheWebsite) {
    using Strings = std::vector<std::string>;
    Check("200 OK", "[Gerneral]\r\nversion=101\r\n");
    EXPECT_EQ(messages, Strings{"New version Found"});
    EXPECT_EQ(opened, Strings{"https://example.test/kinovex"});
    ASSERT_FALSE(server.requests().empty());
    EXPECT_TRUE(server.requests().back().startsWith("GET /version.ini ")); // no "//"

    // The same size as the first answer, straight after it: the copy must be read afresh.
    Check("200 OK", "[Gerneral]\r\nversion=100\r\n");
    EXPECT_EQ(messages, Strings{"No new version"});
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(test::ReadFile(programFolder / "version.ini"), "[Gerneral]\r\nversion=100\r\n");

    // Whatever arrives without the section and key is no news: a page a proxy or a parked
    // domain sends with a success status, a file without the key.
    Check("200 OK", "<!DOCTYPE html><html><body>Welcome!</body></html>");
    EXPECT_EQ(messages, Strings{"No new version"});
    Check("200 OK", "[Gerneral]\nbuild=900\n");
    EXPECT_EQ(messages, Strings{"No new version"});
    EXPECT_TRUE(opened.empty());
}

TEST_F(CheckForUpdateTest, AProgramFolderThatCannotBeWrittenKeepsTheCopyInTheCache) {
    // A folder that is not there cannot be written, also for root.
    test::ScopedEnv installed("KINOVEX_PROGRAM_FOLDER", (programFolder / "gone").string());
    test::ScopedEnv cache("XDG_CACHE_HOME", (home / "cache").string());
    Check("200 OK", "[Gerneral]\nversion=101\n");
    EXPECT_EQ(messages, std::vector<std::string>{"New version Found"});
    EXPECT_EQ(test::ReadFile(home / "cache" / "kinovex" / "version.ini"),
              "[Gerneral]\nversion=101\n");
}

TEST_F(CheckForUpdateTest, FailuresSayErrorWithTheReason) {
    Check("500 Internal Server Error", "<html><body>Oops</body></html>");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Error: ", 0), 0u) << messages[0];
    EXPECT_NE(messages[0].find("Internal Server Error"), std::string::npos) << messages[0];

    // A longer address than the live server's: the settings file, written again within the
    // file system's timestamp step, must differ in size for its reader to see the change.
    const DeadServer dead;
    UseServer(dead.url() + QStringLiteral("/updates"));
    Check("200 OK", "[Gerneral]\nversion=101\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Error: ", 0), 0u) << messages[0];
    EXPECT_GT(messages[0].size(), std::string("Error: ").size());
    EXPECT_TRUE(opened.empty());
}

} // namespace
} // namespace kinovex
