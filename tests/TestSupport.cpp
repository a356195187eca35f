// Helpers shared by the tests: paths of the built plug-in and host, scratch folders, capture
// sinks and child processes.
#include "TestSupport.h"

#include <shellapi.h>
#include <process.h>
#include <intrin.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <atomic>
#include <mutex>
#include <thread>

#include "FilePixels.h"
#include "PngFiles.h"
#include "core/WorkerThreads.h"
#include "support/ErrorReport.h"
#include "support/UserMessage.h"

#include <gtest/gtest.h>

namespace {

std::mutex gCaptureMutex;
std::vector<CapturedReport> gReports;
std::vector<CapturedBox> gBoxes;

// The build records Unix paths; Wine maps the Unix root to drive Z:.
std::wstring WindowsPathOf(const char* unixPath) {
  std::wstring path(unixPath, unixPath + strlen(unixPath));
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

void CaptureReport(uint32_t kind, uint32_t style, const char* title, const char* text) {
  std::lock_guard<std::mutex> lock(gCaptureMutex);
  gReports.push_back({kind, style, title != nullptr ? title : "(null)", text});
}

void CaptureBox(HWND owner, const char* text, const char* title, UINT style) {
  std::lock_guard<std::mutex> lock(gCaptureMutex);
  gBoxes.push_back({owner, text, title != nullptr ? title : "", style});
}

}  // namespace

std::wstring BuiltPluginPath() { return WindowsPathOf(BUILT_PLUGIN_PATH); }
std::wstring ExamplesPath() { return WindowsPathOf(EXAMPLES_PATH); }
std::wstring BuiltFilterHostPath() { return WindowsPathOf(BUILT_FILTERHOST_PATH); }
std::wstring BuiltCoverWindowPath() { return WindowsPathOf(BUILT_COVER_WINDOW_PATH); }

std::wstring MakeScratchFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"halvorn-tests-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
  RemoveFolderTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void RemoveFolderTree(const std::wstring& folder) {
  std::wstring from = folder + L'\0';
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationW(&operation);
}

std::vector<uint8_t> ReadWholeFile(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return bytes;
  uint8_t buffer[65536];
  size_t read = 0;
  while ((read = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + read);
  fclose(file);
  return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

// Outside a capture a box would wait for a click that never comes: it fails the test instead.
void FailOnUnexpectedBox(HWND, const char* text, const char* title, UINT) {
  ADD_FAILURE() << "unexpected message box '" << (title != nullptr ? title : "") << "': " << text;
}

class UnexpectedBoxes : public ::testing::Environment {
 public:
  void SetUp() override { SetUserMessageSink(FailOnUnexpectedBox); }
};
const ::testing::Environment* const gUnexpectedBoxes = ::testing::AddGlobalTestEnvironment(new UnexpectedBoxes);

ReportCapture::ReportCapture() {
  Clear();
  SetReportObserver(CaptureReport);
  m_PreviousSink = reinterpret_cast<void*>(SetUserMessageSink(CaptureBox));
}

ReportCapture::~ReportCapture() {
  SetReportObserver(nullptr);
  SetUserMessageSink(reinterpret_cast<UserMessageSink>(m_PreviousSink));
}

std::vector<CapturedReport> ReportCapture::Reports() const {
  std::lock_guard<std::mutex> lock(gCaptureMutex);
  return gReports;
}

std::vector<CapturedBox> ReportCapture::Boxes() const {
  std::lock_guard<std::mutex> lock(gCaptureMutex);
  return gBoxes;
}

bool ReportCapture::HasReport(const std::string& text) const {
  std::lock_guard<std::mutex> lock(gCaptureMutex);
  return std::any_of(gReports.begin(), gReports.end(), [&](const CapturedReport& r) { return r.text == text; });
}

bool ReportCapture::HasReportContaining(const std::string& part) const {
  std::lock_guard<std::mutex> lock(gCaptureMutex);
  return std::any_of(gReports.begin(), gReports.end(), [&](const CapturedReport& r) { return r.text.find(part) != std::string::npos; });
}

void ReportCapture::Clear() {
  std::lock_guard<std::mutex> lock(gCaptureMutex);
  gReports.clear();
  gBoxes.clear();
}

HostRunTurn::HostRunTurn() : m_Mutex(CreateMutexW(nullptr, FALSE, L"Local\\HalvornTestsHostRuns")) {
  if (m_Mutex != nullptr) WaitForSingleObject(m_Mutex, INFINITE);
}

HostRunTurn::~HostRunTurn() {
  if (m_Mutex == nullptr) return;
  ReleaseMutex(m_Mutex);
  CloseHandle(m_Mutex);
}

namespace {

struct OutputReader {
  HANDLE pipe;
  std::string* output;
};

unsigned __stdcall ReadAllOutput(void* argument) {
  auto* reader = static_cast<OutputReader*>(argument);
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(reader->pipe, buffer, sizeof buffer, &read, nullptr) && read > 0) reader->output->append(buffer, read);
  return 0;
}

}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs) {
  HostRunTurn turn;
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  std::wstring mutableLine = commandLine;
  // Without a console window: the test program often has none to share (its output goes to a
  // pipe), and a new console's window would come in front of the dialogs that driven tests
  // click on.
  BOOL started = CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                                &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return result;
  }
  // The output is read beside the wait, so that a program that hangs is ended at the time limit
  // rather than left running (holding the debug log) after ctest gives up on the test.
  OutputReader reader{readEnd, &result.output};
  auto* readerThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ReadAllOutput, &reader, 0, nullptr));
  if (readerThread == nullptr) ReadAllOutput(&reader);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = int(code);
  } else {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 10000);
  }
  if (readerThread != nullptr) {
    // A program the ended one started may still hold the pipe open.
    if (WaitForSingleObject(readerThread, 10000) != WAIT_OBJECT_0) CancelSynchronousIo(readerThread);
    WaitForSingleObject(readerThread, INFINITE);
    CloseHandle(readerThread);
  }
  CloseHandle(readEnd);
  result.output.erase(std::remove(result.output.begin(), result.output.end(), '\r'), result.output.end());
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return result;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (GetTickCount64() >= deadline) return condition();
    // Conditions change through this thread's messages or other threads' work: wake at the next
    // message, or after a millisecond to look again.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
  return true;
}

ScopedWorkerCount::ScopedWorkerCount(uint32_t workers) { OverrideWorkerCount(workers); }
ScopedWorkerCount::~ScopedWorkerCount() { OverrideWorkerCount(0); }

namespace {

constexpr int kPreviewControlId = 1040;

struct MainDialogSearch {
  HWND found;
};

BOOL CALLBACK FindMainDialogWindow(HWND window, LPARAM parameter) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, "#32770") != 0 || GetDlgItem(window, kPreviewControlId) == nullptr) return TRUE;
  reinterpret_cast<MainDialogSearch*>(parameter)->found = window;
  return FALSE;
}

}  // namespace

HWND FindMainDialog() {
  MainDialogSearch search{nullptr};
  EnumWindows(FindMainDialogWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct MainDialogAnswer::Watch {
  int button;
  std::vector<int> clicksFirst;
  HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set when the answer is no longer wanted
  std::atomic<int> answered{0};
  std::thread thread;
};

MainDialogAnswer::MainDialogAnswer(int button, std::vector<int> clicksFirst) : m_Watch(new Watch) {
  m_Watch->button = button;
  m_Watch->clicksFirst = std::move(clicksFirst);
  Watch* watch = m_Watch;
  watch->thread = std::thread([watch] {
    HWND last = nullptr;
    // Between looks the watch waits for its stop, so that ending it never waits out an interval.
    do {
      HWND dialog = FindMainDialog();
      if (dialog != nullptr && dialog != last) {
        // Posted messages arrive in order, so the clicks are handled before the button.
        for (int control : watch->clicksFirst) PostMessageW(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(watch->button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, watch->button)));
        last = dialog;
        ++watch->answered;
      }
      if (last != nullptr && !IsWindow(last)) last = nullptr;
    } while (WaitForSingleObject(watch->stop, 10) == WAIT_TIMEOUT);
  });
}

MainDialogAnswer::~MainDialogAnswer() {
  SetEvent(m_Watch->stop);
  m_Watch->thread.join();
  CloseHandle(m_Watch->stop);
  delete m_Watch;
}

int MainDialogAnswer::Answered() const { return m_Watch->answered; }

namespace {

// One entry of the GDI handle table that the process environment block points to (x64 layout).
struct GdiHandleEntry {
  uint64_t object;
  uint16_t processId;
  uint16_t count;
  uint16_t unique;
  uint8_t type;
  uint8_t flags;
  uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr size_t kGdiHandleTableEntries = 0x10000;
constexpr size_t kPebGdiSharedHandleTable = 0xF8;
constexpr uint8_t kGdiDisplayContextType = 0x01;

// A display context that no window holds: a released entry of the cache (a context made with
// CreateDC also has no window, but the plug-in makes those only for the moment of a query).
bool IsReleasedCachedContext(size_t index, const GdiHandleEntry& entry) {
  auto context = reinterpret_cast<HDC>(static_cast<uintptr_t>(index | (uint32_t(entry.unique) << 16)));
  return GetObjectType(context) == OBJ_DC && WindowFromDC(context) == nullptr;
}

BOOL CALLBACK CountWindowAndChildren(HWND window, LPARAM parameter) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  auto* count = reinterpret_cast<int*>(parameter);
  ++*count;
  EnumChildWindows(
      window, [](HWND, LPARAM inner) -> BOOL { ++*reinterpret_cast<int*>(inner); return TRUE; }, parameter);
  return TRUE;
}

}  // namespace

DWORD CountGdiObjects() {
  DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) return counted;
  // The compiler takes the segment-relative read for an access through a null pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  auto* peb = reinterpret_cast<const uint8_t*>(__readgsqword(0x60));
#pragma GCC diagnostic pop
  auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(peb + kPebGdiSharedHandleTable);
  if (table == nullptr) return 0;
  DWORD cachedDisplayContexts = 0;
  for (size_t i = 0; i < kGdiHandleTableEntries; ++i) {
    if (table[i].type == 0) continue;
    ++counted;
    if (table[i].type == kGdiDisplayContextType && IsReleasedCachedContext(i, table[i])) ++cachedDisplayContexts;
  }
  // Each cached context owns a visible region and a surface of its own.
  return counted - 3 * cachedDisplayContexts;
}

int CountProcessWindows() {
  int count = 0;
  EnumWindows(CountWindowAndChildren, reinterpret_cast<LPARAM>(&count));
  return count;
}

ProcessResult RunFilterHostWithInitialSettings(const std::wstring& arguments) {
  return RunProcess(L"\"" + BuiltFilterHostPath() + L"\" \"" + BuiltPluginPath() + L"\" --play \"" + ExamplesPath() +
                    L"\\default-settings.txt\" --size 320x240 " + arguments);
}

bool ReadPngForTest(const std::wstring& path, FilePixels* pixels) {
  std::vector<uint8_t> profile;
  std::string error;
  bool read = ReadPngFile(path, pixels, &profile, &error);
  EXPECT_TRUE(read) << error;
  return read;
}
