// Runs the built proxy-verifier-cli against loopback proxies and checks what it prints,
// writes and returns.
#include "support/loopback_http_server.h"
#include "support/proxy_servers.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "text/code_page.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace pv::cli {
namespace {

using namespace std::chrono_literals;
using pv::testing_support::FreeLoopbackPort;
using pv::testing_support::LoopbackHttpServer;
using pv::testing_support::ReadBytes;
using pv::testing_support::RecordedRequest;
using pv::testing_support::Reply;
using pv::testing_support::TempDir;
using pv::testing_support::Tinyproxy;
using pv::testing_support::WaitUntil;
using pv::testing_support::WriteBytes;

const std::string kFeaturePage =
    "<html><title>\xE7\x99\xBE\xE5\xBA\xA6\xE4\xB8\x80\xE4\xB8\x8B</title></html>";

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::chrono::milliseconds afterSignal{0};
};

// Runs the program with `arguments`; `whileRunning` is called once it has started, with its
// process id.
Outcome RunCli(const std::vector<std::string>& arguments,
               const std::function<void(pid_t)>& whileRunning = {}) {
    std::vector<std::string> argv{PV_CLI_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (std::string& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    Outcome outcome;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << args[0];
        return outcome;
    }
    std::thread reader([&] {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        int open = 2;
        char buffer[4096];
        while (open > 0 && ::poll(fds, 2, -1) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0) {
                    continue;
                }
                const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? outcome.out : outcome.err)
                        .append(buffer, static_cast<std::size_t>(got));
                }
            }
        }
    });
    auto signalled = std::chrono::steady_clock::now();
    if (whileRunning) {
        whileRunning(pid);
        signalled = std::chrono::steady_clock::now();
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    outcome.afterSignal = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - signalled);
    reader.join();
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

class CliTest : public testing::Test {
protected:
    std::string ListFile(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        const std::string path = dir_.File("list.txt");
        WriteBytes(path, text);
        return path;
    }
    static std::string Address(const LoopbackHttpServer& server) {
        return "127.0.0.1:" + std::to_string(server.Port());
    }

    TempDir dir_;
    LoopbackHttpServer withFeature_{
        [](const RecordedRequest&) { return Reply::Page(kFeaturePage); }};
    LoopbackHttpServer withoutFeature_{[](const RecordedRequest&) { return Reply::Page("plain"); }};
    std::string refused_ = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
};

TEST_F(CliTest, AMixedListPrintsTheValidProxiesAndTheReport) {
    Tinyproxy tinyproxy;
    ASSERT_TRUE(tinyproxy.Started()) << "tinyproxy did not start";
    const std::string list =
        ListFile({Address(withFeature_), tinyproxy.Address(), Address(withoutFeature_), refused_});
    const Outcome run = RunCli({"--url", withFeature_.Url("/"), "--threads", "4", "--quiet", list});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::regex validLines("127\\.0\\.0\\.1:" + std::to_string(withFeature_.Port()) +
                                "----[0-9]+\n127\\.0\\.0\\.1:" + std::to_string(tinyproxy.Port()) +
                                "----[0-9]+\n");
    EXPECT_TRUE(std::regex_match(run.out, validLines)) << run.out;
    EXPECT_NE(run.err.find("信息：验证完毕！\n有效代理：2\n失效代理：2\n"), std::string::npos)
        << run.err;
}

TEST_F(CliTest, ExportsAllRowsInEitherEncoding) {
    const std::string list = ListFile({Address(withoutFeature_), refused_});
    const std::string expectedUtf8 =
        Address(withoutFeature_) + "----*/*----验证失败\r\n" + refused_ + "----*/*----连接超时\r\n";
    for (const auto& [encoding, expected] : std::vector<std::pair<std::string, std::string>>{
             {"cp936", text::Utf8ToCp936(expectedUtf8)}, {"utf-8", expectedUtf8}}) {
        const std::string out = dir_.File("out-" + encoding + ".txt");
        const Outcome run = RunCli({"--url", "http://example.test/", "--all", "--export", out,
                                    "--encoding", encoding, "--quiet", list});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadBytes(out), expected) << encoding;
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(CliTest, JsonLinesDescribeEveryRow) {
    const std::string list =
        ListFile({Address(withFeature_), Address(withoutFeature_), refused_, "1.2.3.4:"});
    const Outcome run =
        RunCli({"--url", "http://example.test/", "--format", "jsonl", "--quiet", list});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::regex row(
        R"re(\{"host":"127\.0\.0\.1","port":"[0-9]+","delay":(null|[0-9]+),"status":"([^"]*)","state":"([a-z-]+)"\})re");
    std::vector<std::string> states;
    std::size_t start = 0;
    while (start < run.out.size()) {
        const std::size_t end = run.out.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        std::smatch match;
        const std::string line = run.out.substr(start, end - start);
        ASSERT_TRUE(std::regex_match(line, match, row)) << line;
        states.push_back(match[3]);
        EXPECT_EQ(match[1] == "null", match[3] != "valid") << line;
        start = end + 1;
    }
    EXPECT_EQ(states, (std::vector<std::string>{"valid", "invalid", "timeout"}));
}

TEST_F(CliTest, TheTargetTestSucceedsOrFails) {
    Outcome run = RunCli({"--test", "--url", withFeature_.Url("/")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("测试成功"), std::string::npos) << run.err;
    run = RunCli({"--test", "--url", withoutFeature_.Url("/")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("测试失败"), std::string::npos) << run.err;
}

TEST_F(CliTest, RefusesWhatItCannotWorkOn) {
    Outcome run = RunCli({dir_.File("missing.txt")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("cannot read"), std::string::npos);

    run = RunCli({ListFile({"no proxies here"})});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("信息：请先导入要验证的代理"), std::string::npos) << run.err;

    run = RunCli({"--url", " ", ListFile({Address(withFeature_)})});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("验证网址或字符串不正确！"), std::string::npos) << run.err;

    run = RunCli({"--export", dir_.File("no-such-folder/out.txt"), "--quiet",
                  ListFile({Address(withoutFeature_)})});
    EXPECT_EQ(run.exitCode, 2);

    run = RunCli({"--frobnicate", "x.txt"});
    EXPECT_EQ(run.exitCode, 1);
    run = RunCli({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Usage: proxy-verifier-cli"), std::string::npos);
}

TEST_F(CliTest, AnInterruptStopsTheRunAndKeepsWhatWasVerified) {
    LoopbackHttpServer silent([](const RecordedRequest&) { return Reply::Stall(); });
    std::vector<std::string> lines(20, Address(silent));
    const std::string out = dir_.File("partial.txt");
    const Outcome run =
        RunCli({"--url", "http://example.test/", "--threads", "5", "--all", "--export", out,
                ListFile(lines)},
               [&](pid_t pid) {
                   ASSERT_TRUE(WaitUntil([&] { return silent.OpenConnections() == 5; }));
                   ::kill(pid, SIGINT);
               });
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_LT(run.afterSignal, 2500ms) << "a check notices a stop within a second";
    const std::string written = ReadBytes(out);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 20);
    EXPECT_NE(written.find(Address(silent) + "----**-----\r\n"), std::string::npos);
}

} // namespace
} // namespace pv::cli
