#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "pipeline/au_file_stream.h"
#include "pipeline/au_input.h"
#include "pipeline/au_stream.h"
#include "tags/au_tags.h"

namespace murmex {

class TAuThread;

enum class TFileOutputMode { foRewrite, foAppend };

// Abstract pipeline output with its own worker thread.
//
// A run: Start() (main thread) wakes the worker, which calls Init(), then DoOutput(abort)
// until it returns false or a stop is requested, then Done(); all three run on the worker.
// Events are delivered on the main thread through the shared dispatcher and MainThreadQueue:
// OnProgress when ProgressPercent() changes, OnThreadException when Init/DoOutput/Done raised
// (the text is in ErrorText()), OnDone once the worker is idle again (so the handler may
// Start anew). A run stopped by RequestStop(false) posts no OnDone.
//
// A derived writer implements:
//   Init()            open the file (TAuFileOut::OpenOutputFile), StartInput(), write a header;
//   DoOutput(abort)   return true at once while !OutputOpen(); false if `abort`; otherwise pull
//                     one block from Input() and write it; return whether to be called again.
//                     Read and write errors are raised, never swallowed: they end the run;
//   Done()            finish the file (only a stream that Init opened in this run), close it
//                     (TAuFileOut::CloseOutputFile) and FinishInput().
// Every concrete writer's destructor must call RequestStop(false) first, so that no run is
// still inside its Init/DoOutput/Done while it is being destroyed.
class TAuOutput {
public:
    using TOutputEvent = std::function<void(TAuOutput& sender)>;

    TAuOutput();
    virtual ~TAuOutput();
    TAuOutput(const TAuOutput&) = delete;
    TAuOutput& operator=(const TAuOutput&) = delete;

    // Main thread. Raises "Component is Busy" while a run is in progress and
    // "Input is not assigned" without an input.
    void Start();
    // Async (from the worker itself, e.g. a refill callback): the run ends after the current
    // DoOutput and posts OnDone. Not async (main thread): returns once the worker is idle,
    // running queued main-thread calls while it waits; no OnDone follows.
    void RequestStop(bool async);

    // 0 without input, -1 for an input of unknown size, else ReadPosition*100/StreamSize rounded.
    int ProgressPercent() const;

    TAuInput* Input() const { return FInput; }
    // While running: stops synchronously, stores the input and starts again.
    virtual void SetInput(TAuInput* input);

    bool Running() const { return FRunning.load(); }
    bool OutputOpen() const { return FOutputOpen.load(); }
    bool StopRequested() const { return FStopRequested.load(); }
    // Text of the exception that ended the last run; emptied by Start.
    std::string ErrorText() const;
    // Rate of the file the last run wrote, in Hz: the input's own rate unless the writer
    // resampled to one its format can hold; 0 until a run has set its format up.
    unsigned OutputSampleRate() const { return FOutputSampleRate.load(); }

    TOutputEvent OnDone;
    TOutputEvent OnProgress;
    TOutputEvent OnThreadException;

protected:
    virtual bool DoOutput(bool abort) = 0;
    virtual void Done() = 0;
    virtual void Init() = 0;
    void SetOutputSampleRate(unsigned rate) { FOutputSampleRate = rate; }

private:
    friend class TAuThread;
    // One run of the worker: Init, the DoOutput loop, Done and the closing events.
    void Run();
    void SetErrorText(const std::string& text);

    TAuInput* FInput = nullptr;
    std::atomic<bool> FRunning{false};
    std::atomic<bool> FOutputOpen{false};
    std::atomic<bool> FStopRequested{false};
    std::atomic<int> FLastProgress{0};
    std::atomic<unsigned> FOutputSampleRate{0};
    mutable std::mutex ErrorLock;
    std::string FErrorText;
    std::unique_ptr<TAuThread> Worker;
};

// Output writing to a stream: its own file, or a stream the caller supplies.
class TAuStreamedOutput : public TAuOutput {
public:
    // A caller's stream is written to but never opened or closed by the writer; nullptr
    // returns to writing the writer's own file.
    void SetOutputStream(TAuStream* stream);
    bool StreamFromCaller() const { return FStreamFromCaller; }

protected:
    TAuStream* OutputStream = nullptr;
    bool FStreamFromCaller = false;
};

// Output writing a named file.
class TAuFileOut : public TAuStreamedOutput {
public:
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& fileName) { FFileName = fileName; }
    TFileOutputMode FileMode() const { return FFileMode; }
    // The base always stores foRewrite; writers that can append store the value given.
    virtual void SetFileMode(TFileOutputMode mode);

protected:
    // Unless the caller supplied a stream: raises "File name is not assigned." for an empty
    // name, else opens FileName with `mode` (fmCreate, or fmOpenReadWrite | fmShareExclusive
    // for an existing file) and makes it the OutputStream.
    void OpenOutputFile(uint32_t mode);
    // Closes the file this writer opened (a caller's stream stays open). Raises when the close
    // reports a write error.
    void CloseOutputFile();
    // True while the writer holds a file it opened itself.
    bool OwnsOutputFile() const { return FOwnedFile != nullptr; }
    // The reason a writer gives for a sample rate its format (e.g. "WAV") cannot hold, naming
    // the file when it has a name.
    std::string UnwritableRateMessage(uint64_t rate, const std::string& format) const;

    TFileOutputMode FFileMode = TFileOutputMode::foRewrite;

private:
    std::string FFileName;
    std::unique_ptr<TAuFileStream> FOwnedFile;
};

// File output with tag containers that writers turn into their own tag formats.
class TAuTaggedFileOut : public TAuFileOut {
public:
    TId3v1Tags& Id3v1Tags() { return FId3v1Tags; }
    TId3v2Tags& Id3v2Tags() { return FId3v2Tags; }
    // Assigning copies the given container's values.
    void SetId3v1Tags(const TId3v1Tags& tags);
    void SetId3v2Tags(const TId3v2Tags& tags);

private:
    TId3v1Tags FId3v1Tags;
    TId3v2Tags FId3v2Tags;
};

}  // namespace murmex
