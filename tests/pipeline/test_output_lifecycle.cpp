#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "pipeline/au_exception.h"
#include "pipeline/au_output.h"
#include "pipeline/main_thread_queue.h"
#include "pipeline/memory_in.h"
#include "tests/pipeline/pipeline_test_support.h"

namespace murmex {
namespace {

using test::EventLog;

// Records the steps the worker takes; pulls and discards what the input delivers.
class RecordingOutput : public TAuOutput {
public:
    ~RecordingOutput() override { RequestStop(false); }
    std::vector<std::string> Steps;
    bool FailInInit = false;

protected:
    void Init() override {
        Steps.push_back("Init");
        if (FailInInit) throw EAuException("cannot open");
        Input()->StartInput();
    }
    bool DoOutput(bool abort) override {
        Steps.push_back("DoOutput");
        if (abort) return false;
        uint8_t sink[16384];
        return Input()->CopyBlock(sink, sizeof sink) > 0;
    }
    void Done() override {
        Steps.push_back("Done");
        Input()->FinishInput();
    }
};

std::string ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const EAuException& error) {
        return error.what();
    }
    return "";
}

TEST(OutputLifecycle, EmptyInputRunsInitOneDoOutputDoneThenOnDone) {
    TMemoryIn input;  // no buffer: delivers nothing
    RecordingOutput output;
    EventLog log;
    log.Attach(output);
    EXPECT_EQ(ErrorOf([&] { output.Start(); }), "Input is not assigned");
    output.SetInput(&input);
    bool idleInHandler = false;
    output.OnDone = [&](TAuOutput& sender) {
        idleInHandler = !sender.Running();
        ++log.Done;
    };
    test::RunToDone(output, log);
    EXPECT_EQ(output.Steps, (std::vector<std::string>{"Init", "DoOutput", "Done"}));
    EXPECT_TRUE(idleInHandler);
    EXPECT_TRUE(output.ErrorText().empty());
}

TEST(OutputLifecycle, SecondStartIsRefusedWhileRunning) {
    std::vector<uint8_t> block(2048);
    TMemoryIn input;
    input.SetBufferPointer(block.data());
    input.SetBufferBytes(2048);
    input.SetRepeatCount(-1);  // endless: the run lasts until it is stopped
    RecordingOutput output;
    output.SetInput(&input);
    int stoppedDone = 0;
    output.OnDone = [&](TAuOutput&) { ++stoppedDone; };
    output.Start();
    EXPECT_EQ(ErrorOf([&] { output.Start(); }), "Component is Busy");

    output.RequestStop(false);
    EXPECT_FALSE(output.Running());
    EXPECT_EQ(output.Steps.back(), "Done");

    // A later run gets its OnDone; the stopped one never does (its event would come first).
    EventLog log;
    log.Attach(output);
    input.SetBufferPointer(nullptr);
    test::RunToDone(output, log);
    EXPECT_EQ(stoppedDone, 0);
    EXPECT_EQ(log.Done, 1);
}

TEST(OutputLifecycle, AsyncStopFromTheRefillCallbackFinishesTheRun) {
    std::vector<uint8_t> block(2048, 1);
    TMemoryIn input;
    input.SetBufferPointer(block.data());
    input.SetBufferBytes(2048);
    RecordingOutput output;
    output.SetInput(&input);
    int refills = 0;
    input.OnBufferDone = [&](TMemoryIn& sender) {
        if (++refills < 3) {
            sender.StartInput();
            return;
        }
        sender.SetBufferBytes(0);
        output.RequestStop(true);
    };
    EventLog log;
    log.Attach(output);
    input.StartInput();
    test::RunToDone(output, log);
    EXPECT_EQ(refills, 3);
    EXPECT_EQ(output.Steps.back(), "Done");
    EXPECT_FALSE(output.StopRequested());
    EXPECT_EQ(log.Exceptions, 0);
}

TEST(OutputLifecycle, SyncStopDrainsTheMainThreadQueueWhileWaiting) {
    std::vector<uint8_t> block(2048);
    TMemoryIn input;
    input.SetBufferPointer(block.data());
    input.SetBufferBytes(2048);
    RecordingOutput output;
    output.SetInput(&input);
    std::atomic<int> mainThreadCalls{0};
    // Every refill waits for the main thread, as a display update would.
    input.OnBufferDone = [&](TMemoryIn& sender) {
        MainThreadQueue::Instance().RunAndWait([&] { ++mainThreadCalls; });
        sender.StartInput();
    };
    int done = 0;
    output.OnDone = [&](TAuOutput&) { ++done; };
    output.OnProgress = [](TAuOutput&) {};
    input.StartInput();
    output.Start();
    MainThreadQueue::Instance().DrainUntil([&] { return mainThreadCalls >= 2; });
    output.RequestStop(false);  // would hang if it did not run the worker's calls
    EXPECT_FALSE(output.Running());
    MainThreadQueue::Instance().Drain();
    EXPECT_EQ(done, 0);
}

TEST(OutputLifecycle, ProgressComesBeforeDoneAndErrorsAreReported) {
    std::vector<uint8_t> block(2048);
    TMemoryIn input;
    input.SetBufferPointer(block.data());
    input.SetBufferBytes(2048);
    input.SetRepeatCount(64);
    RecordingOutput output;
    output.SetInput(&input);
    EventLog log;
    log.Attach(output);
    input.StartInput();
    test::RunToDone(output, log);
    ASSERT_FALSE(log.Progress.empty());
    EXPECT_EQ(log.Order.back(), 'D');
    EXPECT_EQ(std::count(log.Order.begin(), log.Order.end(), 'D'), 1);
    EXPECT_TRUE(std::is_sorted(log.Progress.begin(), log.Progress.end()));
    EXPECT_EQ(log.Progress.back(), 100);

    // A failing Init ends the run: the text is kept, reported, and Done still runs.
    output.FailInInit = true;
    output.Steps.clear();
    log.Order.clear();
    test::RunToDone(output, log);
    EXPECT_EQ(output.ErrorText(), "cannot open");
    EXPECT_EQ(log.Order, (std::vector<char>{'E', 'D'}));
    EXPECT_EQ(output.Steps, (std::vector<std::string>{"Init", "Done"}));
}

TEST(OutputLifecycle, ProgressOfAnUnknownSizeIsMinusOne) {
    test::PatternInput unknown(100, -1);
    RecordingOutput output;
    EXPECT_EQ(output.ProgressPercent(), 0);
    output.SetInput(&unknown);
    unknown.StartInput();
    EXPECT_EQ(output.ProgressPercent(), -1);
    test::PatternInput known(300, 300);
    output.SetInput(&known);
    known.StartInput();
    uint8_t sink[200];
    known.CopyBlock(sink, 200);
    EXPECT_EQ(output.ProgressPercent(), 67);
}

// Restarting from OnDone, many times over: no Start may be lost, nothing may deadlock.
TEST(OutputLifecycle, RunsRestartedFromOnDoneAllComplete) {
    test::PatternInput input(5000, 5000);
    RecordingOutput output;
    output.SetInput(&input);
    constexpr int Runs = 25;
    int done = 0;
    output.OnDone = [&](TAuOutput& sender) {
        if (++done < Runs) sender.Start();
    };
    output.OnProgress = [](TAuOutput&) {};
    output.Start();
    MainThreadQueue::Instance().DrainUntil([&] { return done >= Runs; });
    output.RequestStop(false);
    EXPECT_EQ(std::count(output.Steps.begin(), output.Steps.end(), "Done"), Runs);
}

TEST(MainThreadQueue, RunsPostedCallsInOrderAndRaisesErrorsInTheCaller) {
    auto& queue = MainThreadQueue::Instance();
    ASSERT_TRUE(queue.IsMainThread());
    std::vector<int> order;
    std::atomic<bool> raised{false};
    std::thread poster([&] {
        queue.Post([&] { order.push_back(1); });
        queue.Post([&] { order.push_back(2); });
        try {
            queue.RunAndWait([] { throw EAuException("from main"); });
        } catch (const EAuException&) {
            raised = true;
        }
        queue.Wake();
    });
    queue.DrainUntil([&] { return order.size() == 2 && raised; });
    poster.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace murmex
