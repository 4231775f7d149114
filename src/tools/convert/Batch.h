#pragma once
// Many movies converted side by side: the inputs are gathered, each movie becomes one job,
// `jobs` of them run at once, and a bad movie only fails its own job.

#include "tools/convert/ConvertJob.h"
#include "tools/convert/ConvertOptions.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace kinovex::cli {

struct BatchInput {
    std::string movie;
    std::string output;
};

struct GatherResult {
    std::vector<BatchInput> inputs;
    std::vector<JobResult> refused; // inputs that are not there or not movie files
    std::string error;              // the command line cannot work (nothing was started)
};

// Files are taken as given; folders give their .swf files (any case), in sub-folders too with
// -r, in name order. With one movie file and -o naming a file, that is the output; otherwise
// -o is a folder (made when missing) and each movie keeps its name there, under the sub-folder
// it was found in. A movie whose output another movie already writes is refused.
GatherResult gatherInputs(const ConvertOptions& options);

class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    virtual void started(std::size_t /*index*/, const BatchInput&) {}
    virtual void progressed(std::size_t /*index*/, const JobProgress&) {}
    virtual void finished(std::size_t /*index*/, const JobResult&) {}
};

std::vector<JobResult> runBatch(const std::vector<BatchInput>& inputs,
                                const ConvertOptions& options, const EncoderSetup& encoder,
                                unsigned jobs, BatchObserver& observer,
                                const std::atomic<bool>& interrupted);

// The machine-readable report: every movie with its result.
std::string reportJson(const std::vector<JobResult>& results);

} // namespace kinovex::cli
