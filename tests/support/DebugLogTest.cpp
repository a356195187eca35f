// The debug log file: its start, the order of early lines, rotation over ten runs, closing in
// each mode, and threaded mode with many threads reporting at once.
#include "support/DebugLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <set>
#include <thread>

#include "TestSupport.h"
#include "support/DataFolders.h"
#include "support/ErrorReport.h"
#include "support/FaultInjection.h"
#include "support/LogTestSupport.h"

class DebugLog : public ::testing::Test {
 protected:
  void SetUp() override { m_Root = UseScratchDataFolders(L"debuglog"); }
  void TearDown() override {
    CloseDebugLog();
    SetDataFolderRoots(nullptr, nullptr);
    RemoveFolderTree(m_Root);
  }
  std::wstring Log(int number) const { return LogPathNumber(m_Root, number); }
  std::wstring m_Root;
};

TEST_F(DebugLog, StartsWithByteOrderMarkThenHeaderThenEarlyLinesInOrder) {
  ASSERT_TRUE(InitializeLogQueue("Halvorn Pro 3"));
  ErrorReport(1, TraceMessage).Report("early one");
  ErrorReport(2, TraceMessage).Report("early two");
  ASSERT_TRUE(OpenDebugLog(LogModeThreaded));
  ErrorReport(3, TraceMessage).Report("after opening");
  CloseDebugLog();
  std::vector<uint8_t> bytes = ReadWholeFile(Log(0));
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
  std::vector<std::string> lines = SplitLines(ReadLogText(Log(0)));
  ASSERT_GE(lines.size(), 8u);
  std::regex header(R"(^Halvorn Pro 3 version 3\.0\.1\.0 64 bit Release \(built \w{3} [ \d]\d \d{4} at \d\d:\d\d:\d\d\) )"
                    R"(Log opened on \w+day, \w{3} \d\d \d{4} at \d\d:\d\d:\d\d\.$)");
  EXPECT_TRUE(std::regex_match(lines[0], header)) << lines[0];
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "");
  EXPECT_NE(lines[3].find("Trace Message: early one"), std::string::npos) << lines[3];
  EXPECT_NE(lines[4].find("Trace Message: early two"), std::string::npos);
  EXPECT_NE(lines[5].find("Trace Message: after opening"), std::string::npos);
  EXPECT_EQ(lines[6], "");
  std::regex closing(R"(^Log closed on \w+day, \w+ \d\d, \d{4} at \d\d:\d\d:\d\d\.$)");
  EXPECT_TRUE(std::regex_match(lines[7], closing)) << lines[7];
}

TEST_F(DebugLog, RotationKeepsTenRunsAndDeletesStrangers) {
  for (int number = 0; number <= 9; ++number) WriteWholeFile(Log(number), "run " + std::to_string(number));
  WriteWholeFile(Log(12), "stranger");
  ASSERT_TRUE(InitializeLogQueue("Halvorn Pro 3"));
  ASSERT_TRUE(OpenDebugLog(LogModeImmediate));
  CloseDebugLog();
  EXPECT_FALSE(FileExists(Log(12)));
  EXPECT_FALSE(FileExists(Log(10)));
  for (int number = 1; number <= 9; ++number) {
    std::vector<uint8_t> bytes = ReadWholeFile(Log(number));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "run " + std::to_string(number - 1)) << number;
  }
  EXPECT_NE(ReadLogText(Log(0)).find("Log opened"), std::string::npos);
}

TEST_F(DebugLog, SingleDigitNamesRotateWithTheirNumber) {
  std::wstring logs = m_Root + L"\\Vellbrook\\HalvornPro3\\Logs\\";
  WriteWholeFile(logs + L"HalvornPro3_3.log", "three");
  WriteWholeFile(logs + L"HalvornPro3_ab.log", "letters");
  wchar_t path[kMaxDataPath];
  ASSERT_TRUE(GetDebugLogFolder(path));
  EXPECT_EQ(std::wstring(path), Log(0));
  EXPECT_TRUE(FileExists(Log(4)));
  EXPECT_FALSE(FileExists(logs + L"HalvornPro3_3.log"));
  EXPECT_FALSE(FileExists(logs + L"HalvornPro3_ab.log"));
}

// Hosts started together rotate the same folder at once: no rename may fail, no run may lose its
// log and every kept log is a different run's.
TEST_F(DebugLog, RunsStartingAtOnceEachGetTheirOwnLog) {
  constexpr int kThreads = 6;
  constexpr int kRunsPerThread = 5;
  ReportCapture capture;
  std::atomic<int> refused{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int run = 0; run < kRunsPerThread; ++run) {
        wchar_t path[kMaxDataPath];
        std::string text = "run " + std::to_string(t) + "-" + std::to_string(run);
        bool created = CreateRotatedDebugLog(path, [&](const wchar_t* newLog) {
          HANDLE file = CreateFileW(newLog, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
          if (file == INVALID_HANDLE_VALUE) return false;
          DWORD written = 0;
          WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
          CloseHandle(file);
          return written == text.size();
        });
        if (!created) ++refused;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(refused.load(), 0);
  EXPECT_TRUE(capture.Reports().empty()) << capture.Reports().front().text;
  std::set<std::string> runs;
  for (int number = 0; number <= 9; ++number) {
    std::vector<uint8_t> bytes = ReadWholeFile(Log(number));
    std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("run ", 0), 0u) << number << ": " << text;
    runs.insert(text);
  }
  EXPECT_EQ(runs.size(), 10u);
  EXPECT_FALSE(FileExists(Log(10)));
}

TEST_F(DebugLog, ImmediateCloseWritesTheClosingLineButNotTheFlushRequest) {
  ASSERT_TRUE(InitializeLogQueue("Halvorn Pro 3"));
  ASSERT_TRUE(OpenDebugLog(LogModeImmediate));
  ErrorReport(7, TraceMessage).Report("written at once");
  // Immediate mode writes while the log is open: the line is on disk before closing.
  EXPECT_NE(ReadLogText(Log(0)).find("written at once"), std::string::npos);
  CloseDebugLog();
  std::string text = ReadLogText(Log(0));
  EXPECT_NE(text.find("\nLog closed on "), std::string::npos);
  EXPECT_EQ(text.find("Flush Queue"), std::string::npos);
}

TEST_F(DebugLog, ALineEndingInALineFeedGetsNoSecond) {
  ASSERT_TRUE(InitializeLogQueue("Halvorn Pro 3"));
  ASSERT_TRUE(OpenDebugLog(LogModeImmediate));
  WriteLogLine(2, "ends with its own\n");
  WriteLogLine(2, "plain");
  CloseDebugLog();
  std::string text = ReadLogText(Log(0));
  EXPECT_NE(text.find("ends with its own\nplain\n"), std::string::npos);
}

TEST_F(DebugLog, DiscardModeWritesNothingAndOpensNoFile) {
  ASSERT_TRUE(InitializeLogQueue("Halvorn Pro 3"));
  EXPECT_FALSE(OpenDebugLog(LogModeDiscard));
  ErrorReport(9, TraceMessage).Report("dropped");
  CloseDebugLog();
  EXPECT_FALSE(FileExists(Log(0)));
}

TEST_F(DebugLog, InvalidModeIsReported) {
  ReportCapture capture;
  ASSERT_TRUE(InitializeLogQueue("Halvorn Pro 3"));
  EXPECT_FALSE(OpenDebugLog(LogMode(7)));
  EXPECT_TRUE(capture.HasReport("Can't open debug log file with invalid logging mode'7'"));
}

TEST_F(DebugLog, WithoutTheFoldersNoFileIsOpened) {
  ReportCapture capture;
  ResetDataFolders();
  ASSERT_TRUE(InitializeLogQueue("Halvorn Pro 3"));
  EXPECT_FALSE(OpenDebugLog(LogModeThreaded));
  EXPECT_TRUE(capture.HasReport("File system not initialized - Threaded mode logging requires the file system."));
  EXPECT_FALSE(OpenDebugLog(LogModeImmediate));
  EXPECT_TRUE(capture.HasReport("File system not initialized - Immediate mode logging requires the file system."));
}

TEST_F(DebugLog, ThreadedModeKeepsEveryLineOnceAndEachThreadsOrder) {
  constexpr int kThreads = 6;
  constexpr int kLines = 400;
  ASSERT_TRUE(InitializeLogQueue("Halvorn Pro 3"));
  ASSERT_TRUE(OpenDebugLog(LogModeThreaded));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) ErrorReport(uint32_t(i), TraceMessage).Report("thread %d line %d", t, i);
    });
  }
  for (std::thread& thread : threads) thread.join();
  CloseDebugLog();
  std::vector<int> next(kThreads, 0);
  int total = 0;
  std::regex line(R"(Trace Message: thread (\d) line (\d+)$)");
  for (const std::string& text : SplitLines(ReadLogText(Log(0)))) {
    std::smatch match;
    if (!std::regex_search(text, match, line)) continue;
    int thread = std::stoi(match[1]);
    int number = std::stoi(match[2]);
    EXPECT_EQ(number, next[size_t(thread)]) << "thread " << thread << " out of order or repeated";
    next[size_t(thread)] = number + 1;
    ++total;
  }
  EXPECT_EQ(total, kThreads * kLines);
}

TEST_F(DebugLog, WritesRefusedAtOnceLoseOnlyTheirOwnLinesAndClosingStillWritesTheRest) {
  ASSERT_TRUE(InitializeLogQueue("Halvorn Pro 3"));
  ASSERT_TRUE(OpenDebugLog(LogModeThreaded));
  ArmFault(FAULT_LOG_WRITE, 3);
  for (int i = 0; i < 20; ++i) ErrorReport(uint32_t(i), TraceMessage).Report("refusal line %d", i);
  CloseDebugLog();
  DisarmFaults();
  std::string text = ReadLogText(Log(0));
  int written = 0;
  for (const std::string& line : SplitLines(text)) written += line.find("refusal line ") != std::string::npos;
  // Three writes are refused, whichever lines they carry; every other line reaches the file.
  EXPECT_GE(written, 17) << text;
  EXPECT_EQ(text.find("Timeout occurred while waiting for Logging thread to terminate"), std::string::npos);
  std::regex closing(R"(Log closed on \w+day, \w+ \d\d, \d{4} at \d\d:\d\d:\d\d\.)");
  EXPECT_TRUE(std::regex_search(text, closing)) << "the closing line was not written";
}
