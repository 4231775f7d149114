#include "platform/qt/FolderOpener.h"

#include <QDesktopServices>
#include <QUrl>

#include <mutex>

namespace kinovex {
namespace {

std::mutex g_hookMutex;
FolderOpenerHook g_hook;

} // namespace

void SetFolderOpenerHook(FolderOpenerHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_hook = std::move(hook);
}

bool OpenFolder(const QString& folder) {
    FolderOpenerHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook)
        return hook(folder);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace kinovex
