#include <gtest/gtest.h>

#include "kestrune/support/messages.hpp"

#include <atomic>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace kestrune {
namespace {

struct shown {
    std::string kind, message, explanation;
    bool operator==(const shown&) const = default;
};

// Puts back whatever callback was installed before the test.
class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { old_ = setmessagecallback(record()); }
    void TearDown() override { setmessagecallback(old_); }

    tmessagecallback record() {
        return [this](std::string_view kind, std::string_view message, std::string_view explanation) {
            shown_.push_back({std::string(kind), std::string(message), std::string(explanation)});
        };
    }

    std::vector<shown> shown_;

private:
    tmessagecallback old_;
};

TEST_F(MessagesTest, WarningCarriesItsExplanationAndInformationDoesNot) {
    ShowWarning("Saving OMA file as a text file", "");
    ShowWarning("caption", "details");
    QVTShowMessage("note", 1, "why");
    QVTShowMessage("plain", 0, "dropped");
    QVTShowMessage("other", 7, "dropped");
    EXPECT_EQ(shown_, (std::vector<shown>{
                          {"warning", "Saving OMA file as a text file", ""},
                          {"warning", "caption", "details"},
                          {"warning", "note", "why"},
                          {"information", "plain", ""},
                          {"information", "other", ""},
                      }));
}

TEST_F(MessagesTest, SettingACallbackReturnsThePreviousOneAndEmptyBringsBackStandardError) {
    int calls = 0;
    tmessagecallback previous =
        setmessagecallback([&calls](std::string_view, std::string_view, std::string_view) { ++calls; });
    previous("warning", "from the returned callback", "");
    EXPECT_EQ(shown_.size(), 1u);  // it was the recorder

    ShowWarning("counted", "");
    EXPECT_EQ(calls, 1);

    tmessagecallback counter = setmessagecallback(nullptr);
    ASSERT_TRUE(counter);
    ::testing::internal::CaptureStderr();
    ShowWarning("Saving OMA file as a text file", "");
    ShowWarning("caf\xE9", "r\xE9sum\xE9");  // Latin-1 text reaches the terminal as UTF-8
    QVTShowMessage("done", 0, "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "warning: Saving OMA file as a text file\n"
              "warning: caf\xC3\xA9 (r\xC3\xA9sum\xC3\xA9)\n"
              "information: done\n");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(MessagesTest, FailingCallbackDoesNotReachTheCaller) {
    setmessagecallback(
        [](std::string_view, std::string_view, std::string_view) { throw std::runtime_error("display gone"); });
    EXPECT_NO_THROW(ShowWarning("x", "y"));
}

// A display that fails at run time counts as shown; a logic error in it is
// a fault of the program and reaches the caller.
TEST_F(MessagesTest, OnlyRunTimeFailuresOfTheDisplayAreSwallowed) {
    const struct {
        const char* name;
        std::function<void()> fail;
        bool reachescaller;
    } cases[] = {
        {"memory runs out", [] { throw std::bad_alloc(); }, false},
        {"I/O error", [] { throw std::system_error(std::make_error_code(std::errc::io_error)); }, false},
        {"logic error", [] { throw std::logic_error("fault in the display"); }, true},
        {"index out of range", [] { throw std::out_of_range("fault in the display"); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setmessagecallback([&c](std::string_view, std::string_view, std::string_view) { c.fail(); });
        if (c.reachescaller) {
            EXPECT_THROW(ShowWarning("x", "y"), std::logic_error);
        } else {
            EXPECT_NO_THROW(ShowWarning("x", "y"));
        }
    }
}

TEST_F(MessagesTest, CallbackMayReplaceItselfWhileShowing) {
    std::vector<std::string> order;
    setmessagecallback([&](std::string_view, std::string_view message, std::string_view) {
        order.push_back("first " + std::string(message));
        setmessagecallback([&](std::string_view, std::string_view m, std::string_view) {
            order.push_back("second " + std::string(m));
        });
    });
    ShowWarning("a", "");
    ShowWarning("b", "");
    EXPECT_EQ(order, (std::vector<std::string>{"first a", "second b"}));
}

TEST_F(MessagesTest, MessagesFromSeveralThreadsWhileTheCallbackChanges) {
    std::atomic<int> counted{0};
    const auto counter = [&counted](std::string_view, std::string_view, std::string_view) { ++counted; };
    setmessagecallback(counter);
    constexpr int threads = 4;
    constexpr int perthread = 2000;
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) setmessagecallback(counter);
    });
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) {
        workers.emplace_back([] {
            for (int j = 0; j < perthread; ++j) ShowWarning("m", "e");
        });
    }
    for (auto& w : workers) w.join();
    stop = true;
    swapper.join();
    EXPECT_EQ(counted, threads * perthread);
}

}  // namespace
}  // namespace kestrune
