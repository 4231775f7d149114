#include "tools/convert/Batch.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace kinovex::cli {

namespace fs = std::filesystem;

namespace {

bool isMovieName(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".swf";
}

// A movie and the folder given on the command line it was found in (empty for a file given
// by name).
struct Found {
    fs::path movie;
    fs::path root;
};

void addFolder(const fs::path& folder, bool recursive, std::vector<Found>& movies) {
    std::error_code ec;
    std::vector<fs::path> found;
    auto visit = [&](const fs::directory_entry& e) {
        std::error_code fileError;
        if (e.is_regular_file(fileError) && isMovieName(e.path())) {
            found.push_back(e.path());
        }
    };
    if (recursive) {
        for (fs::recursive_directory_iterator it(folder,
                                                 fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            visit(*it);
        }
    } else {
        for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            visit(*it);
        }
    }
    std::sort(found.begin(), found.end());
    for (const auto& movie : found) {
        movies.push_back({movie, folder});
    }
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

} // namespace

GatherResult gatherInputs(const ConvertOptions& options) {
    GatherResult result;
    std::vector<Found> movies;
    bool sawFolder = false;
    for (const auto& given : options.inputs) {
        std::error_code ec;
        const fs::path p(given);
        if (fs::is_directory(p, ec)) {
            sawFolder = true;
            addFolder(p, options.recursive, movies);
        } else if (fs::exists(p, ec)) {
            movies.push_back({p, {}}); // a file given by name is tried whatever its name
        } else {
            JobResult missing;
            missing.input = given;
            missing.error = "no such file or folder";
            result.refused.push_back(missing);
        }
    }
    const bool single = movies.size() == 1 && !sawFolder && options.inputs.size() == 1;
    std::error_code ec;
    const bool outputIsFolder =
        !options.output.empty() &&
        (!single || fs::is_directory(options.output, ec) || options.output.back() == '/');
    if (outputIsFolder) {
        fs::create_directories(options.output, ec);
        if (!fs::is_directory(options.output, ec)) {
            result.error = "cannot make the output folder " + options.output;
            return result;
        }
    }
    // Two movies must never share an output: with several jobs their encoders would write the
    // same file at once. Sub-folders of a folder keep their place under the output folder, so
    // -r over folders with same-named movies works; a clash left after that is refused.
    std::map<std::string, std::string> taken; // output -> the movie writing it
    for (const auto& found : movies) {
        BatchInput in;
        in.movie = found.movie.string();
        if (single && !options.output.empty() && !outputIsFolder) {
            in.output =
                options.profile == Profile::Png ? sequencePattern(options.output) : options.output;
        } else if (outputIsFolder) {
            fs::path folder(options.output);
            if (!found.root.empty()) {
                const fs::path sub = found.movie.parent_path().lexically_relative(found.root);
                if (!sub.empty() && sub != ".") {
                    folder /= sub;
                    fs::create_directories(folder, ec);
                }
            }
            in.output = outputPathFor(in.movie, folder.string(), options.profile);
        } else {
            in.output = outputPathFor(in.movie, std::string{}, options.profile);
        }
        const std::string key = fs::weakly_canonical(in.output, ec).lexically_normal().string();
        if (const auto [it, fresh] = taken.emplace(ec ? in.output : key, in.movie); !fresh) {
            JobResult clash;
            clash.input = in.movie;
            clash.output = in.output;
            clash.error = "its output " + in.output + " is already the output of " + it->second;
            result.refused.push_back(clash);
            continue;
        }
        result.inputs.push_back(in);
    }
    return result;
}

std::vector<JobResult> runBatch(const std::vector<BatchInput>& inputs,
                                const ConvertOptions& options, const EncoderSetup& encoder,
                                unsigned jobs, BatchObserver& observer,
                                const std::atomic<bool>& interrupted) {
    std::vector<JobResult> results(inputs.size());
    std::mutex mutex; // the observer hears one job at a time
    std::size_t next = 0;
    const unsigned count = std::max(1u, std::min<unsigned>(jobs, inputs.size()));
    // Cores the batch does not fill with movies of its own draw frames of the ones it has;
    // about half of them, as ffmpeg needs about as much to encode a frame as the engine needs
    // to draw it.
    const unsigned engines = std::max(1u, jobs / count / 2);
    auto worker = [&] {
        for (;;) {
            std::size_t index;
            {
                std::lock_guard lock(mutex);
                if (next >= inputs.size() || interrupted) {
                    return;
                }
                index = next++;
                observer.started(index, inputs[index]);
            }
            const BatchInput& in = inputs[index];
            JobResult r = convertMovie(
                in.movie, in.output, options, encoder,
                [&](const JobProgress& p) {
                    std::lock_guard lock(mutex);
                    observer.progressed(index, p);
                },
                interrupted, engines);
            std::lock_guard lock(mutex);
            observer.finished(index, r);
            results[index] = std::move(r);
        }
    };
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < count; ++i) {
        threads.emplace_back(worker);
    }
    worker();
    for (auto& t : threads) {
        t.join();
    }
    // Jobs never started (interrupted) say so.
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i].input.empty()) {
            results[i].input = inputs[i].movie;
            results[i].output = inputs[i].output;
            results[i].error = "not converted: interrupted";
        }
    }
    return results;
}

std::string reportJson(const std::vector<JobResult>& results) {
    std::size_t converted = 0;
    for (const auto& r : results) {
        converted += r.ok ? 1 : 0;
    }
    std::string out = "{\n  \"converted\": " + std::to_string(converted) +
                      ",\n  \"failed\": " + std::to_string(results.size() - converted) +
                      ",\n  \"movies\": [";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const JobResult& r = results[i];
        char numbers[200];
        std::snprintf(numbers, sizeof numbers,
                      "\"frames\": %u, \"seconds\": %.3f, \"render_seconds\": %.3f, "
                      "\"wall_seconds\": %.3f",
                      r.frames, r.outputSeconds, r.renderSeconds, r.wallSeconds);
        out += i ? ",\n    {" : "\n    {";
        out += "\"input\": " + jsonString(r.input) + ", \"output\": " + jsonString(r.output) +
               ", \"ok\": " + (r.ok ? "true" : "false") + ", " + numbers;
        if (!r.error.empty()) {
            out += ", \"error\": " + jsonString(r.error);
        }
        if (!r.note.empty()) {
            out += ", \"note\": " + jsonString(r.note);
        }
        if (!r.ended.empty()) {
            out += ", \"ended\": " + jsonString(r.ended);
        }
        if (!r.events.empty()) {
            out += ", \"events\": [";
            for (std::size_t e = 0; e < r.events.size(); ++e) {
                out += (e ? ", " : "") + jsonString(r.events[e]);
            }
            out += "]";
        }
        out += "}";
    }
    out += results.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

} // namespace kinovex::cli
