#include "pipeline/au_output.h"

#include <cmath>
#include <filesystem>

#include "pipeline/au_exception.h"
#include "pipeline/au_thread.h"
#include "pipeline/event_handler.h"

namespace murmex {

TAuOutput::TAuOutput() {
    TEventHandler::AddUser();
    Worker = std::make_unique<TAuThread>(*this);
}

TAuOutput::~TAuOutput() {
    RequestStop(false);
    Worker.reset();
    TEventHandler::RemoveUser();
}

void TAuOutput::Start() {
    SetErrorText("");
    if (FRunning) throw EAuException("Component is Busy");
    if (FInput == nullptr) throw EAuException("Input is not assigned");
    // A run that has just returned from Done may still be posting its done event; the new
    // run begins once the worker has gone idle, so this Start is never lost.
    Worker->WaitUntilSuspended();
    // A stop requested while idle has nothing to stop and must not cut the new run short.
    Worker->HaltRequested = false;
    FStopRequested = false;
    FOutputSampleRate = 0;
    // Set here, not only by the worker, so that a second Start right after this one is refused.
    FRunning = true;
    Worker->Resume();
}

void TAuOutput::RequestStop(bool async) {
    FStopRequested = true;
    Worker->NotifyWhenFinished = async;
    Worker->RunFinished = false;
    Worker->HaltRequested = true;
    if (async) return;
    TEventHandler& events = TEventHandler::Instance();
    events.RefuseSender(this);
    events.DiscardEventsOf(this);
    // The worker cannot wait for itself; from inside a run the stop takes effect after the
    // current DoOutput.
    if (!Worker->IsCurrentThread()) Worker->WaitUntilRunEnds();
    events.AcceptAllSenders();
    Worker->NotifyWhenFinished = true;
}

int TAuOutput::ProgressPercent() const {
    if (FInput == nullptr) return 0;
    const int64_t size = FInput->StreamSize();
    if (size == -1) return -1;
    if (size == 0) return 0;
    return static_cast<int>(std::lround(static_cast<double>(FInput->ReadPosition()) * 100.0 /
                                        static_cast<double>(size)));
}

void TAuOutput::SetInput(TAuInput* input) {
    if (!FRunning) {
        FInput = input;
        return;
    }
    RequestStop(false);
    FInput = input;
    Start();
}

std::string TAuOutput::ErrorText() const {
    std::lock_guard<std::mutex> guard(ErrorLock);
    return FErrorText;
}

void TAuOutput::SetErrorText(const std::string& text) {
    std::lock_guard<std::mutex> guard(ErrorLock);
    FErrorText = text;
}

void TAuOutput::Run() {
    TEventHandler& events = TEventHandler::Instance();
    const auto fail = [&](const std::string& message) {
        SetErrorText(message);
        if (OnThreadException) events.PostThreadException(*this);
    };
    FRunning = true;
    try {
        Init();
        FOutputOpen = true;
        bool more = true;
        while (!Worker->HaltRequested && more) {
            const int progress = ProgressPercent();
            if (progress != FLastProgress) {
                FLastProgress = progress;
                if (OnProgress) events.PostProgress(*this);
            }
            more = DoOutput(Worker->HaltRequested);
        }
    } catch (const std::exception& error) {
        fail(error.what());
        Worker->HaltRequested = true;
    } catch (...) {
        fail("Unknown error");
        Worker->HaltRequested = true;
    }
    Worker->HaltRequested = false;
    if (FRunning) {
        try {
            FOutputOpen = false;
            Done();
            FStopRequested = false;
        } catch (const std::exception& error) {
            // A file that could not be finished is not a success: keep the first error of
            // the run and report this one when nothing was reported yet.
            if (ErrorText().empty()) fail(error.what());
        } catch (...) {
            if (ErrorText().empty()) fail("Unknown error");
        }
        FRunning = false;
    }
    if (Worker->NotifyWhenFinished && OnDone) events.PostDone(*this, *Worker);
}

void TAuStreamedOutput::SetOutputStream(TAuStream* stream) {
    OutputStream = stream;
    FStreamFromCaller = stream != nullptr;
}

void TAuFileOut::SetFileMode(TFileOutputMode) { FFileMode = TFileOutputMode::foRewrite; }

void TAuFileOut::OpenOutputFile(uint32_t mode) {
    if (FStreamFromCaller) return;
    if (FFileName.empty()) throw EAuException("File name is not assigned.");
    FOwnedFile.reset();
    FOwnedFile = std::make_unique<TAuFileStream>(std::filesystem::path(FFileName), mode);
    OutputStream = FOwnedFile.get();
}

void TAuFileOut::CloseOutputFile() {
    if (!FOwnedFile) return;
    std::unique_ptr<TAuFileStream> file = std::move(FOwnedFile);
    OutputStream = nullptr;
    file->Close();
}

std::string TAuFileOut::UnwritableRateMessage(uint64_t rate, const std::string& format) const {
    const std::string reason = std::to_string(rate) + " Hz is not a sample rate " + format + " can write.";
    if (FStreamFromCaller || FFileName.empty()) return reason;
    return "Cannot write " + std::filesystem::path(FFileName).filename().string() + ": " + reason;
}

void TAuTaggedFileOut::SetId3v1Tags(const TId3v1Tags& tags) { FId3v1Tags.Assign(tags); }

void TAuTaggedFileOut::SetId3v2Tags(const TId3v2Tags& tags) { FId3v2Tags.Assign(tags); }

}  // namespace murmex
