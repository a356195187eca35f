// filterhost: the reference host. Loads a .8bf, checks that it enables the document, and drives
// a first run (with --dialog) or repeat runs through the plug-in's entry, as a host would.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BoxWatcher.h"
#include "Driver.h"
#include "HostClock.h"
#include "HostHandleSuite.h"
#include "HostSession.h"
#include "ImageFiles.h"

namespace {

struct CommandLine {
  std::wstring plugin;
  std::wstring input;
  std::wstring output;
  std::wstring mask;
  bool noProfile = false;
  int compressionLevel = kFastCompressionLevel;
  bool modeGiven = false;
  bool depthGiven = false;
  HostDocument document;
  HostOptions options;
  bool dialog = false;
  bool about = false;
  bool interactive = false;
  int repeat = 0;
  std::wstring play;
  std::wstring record;
  std::wstring drive;
  std::vector<DriveCommand> driveCommands;
  std::vector<ParameterSetting> settings;
  bool playInfoGiven = false;
};

void PrintUsage() {
  fprintf(stderr,
          "usage: filterhost PLUGIN.8bf [--dialog] [--repeat N] [--about] [--size WxH]\n"
          "                  [--mode gray|rgb] [--depth 8|16|32] [--selection] [--transparency]\n"
          "                  [--host-profile photoshop|pdn|pspi|affinity] [--quirk planes-from-zero]\n"
          "                  [--trace] [--time]\n"
          "                  [--in FILE] [--out FILE] [--mask FILE] [--no-profile] [--compression 0-9]\n"
          "                  [--cancel-at PERCENT] [--max-space BYTES] [--tile N] [--interactive]\n"
          "                  [--set KEY=VALUE]... (Intn=80, Angl=12.5, numP=8, stEf=efT3, opsO=1, ...)\n"
          "                  [--play FILE] [--record FILE] [--play-info display|silent|dont-display]\n"
          "                  [--profile DIR] [--no-descriptors] [--no-registry] [--drive SCRIPT]\n");
}

bool ParseMode(const char* mode, int depth, int16* imageMode) {
  bool gray = strcmp(mode, "gray") == 0;
  if (!gray && strcmp(mode, "rgb") != 0) return false;
  switch (depth) {
    case 8: *imageMode = gray ? plugInModeGrayScale : plugInModeRGBColor; return true;
    case 16: *imageMode = gray ? plugInModeGray16 : plugInModeRGB48; return true;
    case 32: *imageMode = gray ? plugInModeGray32 : plugInModeRGB96; return true;
    default: return false;
  }
}

bool ParseArguments(int argc, wchar_t** argv, CommandLine* line) {
  std::string mode = "rgb";
  int depth = 8;
  for (int i = 1; i < argc; ++i) {
    std::wstring wide = argv[i];
    std::string arg(wide.begin(), wide.end());
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      std::wstring next = argv[++i];
      *out = std::string(next.begin(), next.end());
      return true;
    };
    std::string v;
    if (arg == "--dialog") line->dialog = true;
    else if (arg == "--about") line->about = true;
    else if (arg == "--trace") line->options.trace = true;
    else if (arg == "--time") line->options.time = true, SetHostTimeMarks(true);
    else if (arg == "--interactive") line->interactive = true;
    else if (arg == "--selection") line->document.hasSelection = true;
    else if (arg == "--transparency") line->document.hasTransparency = true;
    else if (arg == "--repeat" && value(&v)) line->repeat = atoi(v.c_str());
    else if (arg == "--cancel-at" && value(&v)) line->options.cancelAtPercent = atoi(v.c_str());
    else if (arg == "--tile" && value(&v)) line->options.tileSize = int16(atoi(v.c_str()));
    else if (arg == "--max-space" && value(&v)) line->options.maxSpace = int32(strtol(v.c_str(), nullptr, 10));
    else if (arg == "--mode" && value(&v)) mode = v, line->modeGiven = true;
    else if (arg == "--depth" && value(&v)) depth = atoi(v.c_str()), line->depthGiven = true;
    else if (arg == "--no-profile") line->noProfile = true;
    else if (arg == "--compression" && value(&v)) {
      if (v.size() != 1 || v[0] < '0' || v[0] > '9') {
        fprintf(stderr, "filterhost: --compression takes a level from 0 to 9\n");
        return false;
      }
      line->compressionLevel = v[0] - '0';
    }
    else if (arg == "--set" && value(&v)) {
      ParameterSetting setting;
      std::string error;
      if (!ParseParameterSetting(v, &setting, &error)) {
        fprintf(stderr, "filterhost: %s\n", error.c_str());
        return false;
      }
      line->settings.push_back(setting);
    } else if ((arg == "--in" || arg == "--out" || arg == "--mask" || arg == "--play" || arg == "--record" || arg == "--profile" ||
                arg == "--drive") &&
               i + 1 < argc) {
      std::wstring* target = arg == "--in" ? &line->input : arg == "--out" ? &line->output : arg == "--mask" ? &line->mask
                             : arg == "--play" ? &line->play : arg == "--record" ? &line->record
                             : arg == "--drive" ? &line->drive : &line->options.actions.profileFolder;
      *target = argv[++i];
    } else if (arg == "--play-info" && value(&v)) {
      if (v == "display") line->options.playInfo = plugInDialogDisplay;
      else if (v == "silent") line->options.playInfo = plugInDialogSilent;
      else if (v == "dont-display") line->options.playInfo = plugInDialogDontDisplay;
      else return false;
      line->playInfoGiven = true;
    } else if (arg == "--no-descriptors") line->options.descriptorParameters = false;
    else if (arg == "--no-registry") line->options.actions.offerRegistry = false;
    else if (arg == "--size" && value(&v)) {
      if (sscanf(v.c_str(), "%dx%d", &line->document.width, &line->document.height) != 2) return false;
    } else if (arg == "--host-profile" && value(&v)) {
      if (!ParseHostProfile(v.c_str(), &line->options.profile)) return false;
    } else if (arg == "--quirk" && value(&v)) {
      if (!ApplyHostQuirk(v.c_str(), &line->options)) return false;
    } else if (arg.rfind("--", 0) != 0 && line->plugin.empty()) line->plugin = wide;
    else {
      fprintf(stderr, "filterhost: unknown or incomplete option '%s'\n", arg.c_str());
      return false;
    }
  }
  if (!line->drive.empty()) line->dialog = true;  // a script drives the dialog of a first run
  if (!ParseMode(mode.c_str(), depth, &line->document.imageMode)) {
    fprintf(stderr, "filterhost: unsupported mode '%s' at depth %d\n", mode.c_str(), depth);
    return false;
  }
  return !line->plugin.empty() && line->document.width > 0 && line->document.height > 0;
}

HWND CreatePlatformWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"FilterHostDocumentWindow";
  RegisterClassW(&windowClass);
  // As large as a maximised host window, so that a dialog centred on it is wholly on the screen
  // (a script's clicks and screenshots need it there).
  RECT work{0, 0, 800, 600};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return CreateWindowW(L"FilterHostDocumentWindow", L"filterhost", WS_OVERLAPPEDWINDOW, work.left, work.top,
                       work.right - work.left, work.bottom - work.top, nullptr, nullptr, windowClass.hInstance, nullptr);
}

int DepthOfMode(int16 imageMode) {
  if (imageMode == plugInModeGray16 || imageMode == plugInModeRGB48) return 16;
  return imageMode == plugInModeGray32 || imageMode == plugInModeRGB96 ? 32 : 8;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int ExitCodeOf(int16 result) { return result == noErr ? 0 : result == userCanceledErr ? 2 : 1; }

// The selection of --mask: a grayscale image of the document's size, 255 = selected.
bool LoadMask(CommandLine& line, DocumentImage* image) {
  DocumentImage mask;
  ImageFileInfo info;
  std::string error;
  if (!LoadImageFile(line.mask, 8, 1, &mask, &info, &error)) {
    fprintf(stderr, "filterhost: the mask: %s\n", error.c_str());
    return false;
  }
  if (mask.width != image->width || mask.height != image->height) {
    fprintf(stderr, "filterhost: the mask is %dx%d but the document is %dx%d\n", mask.width, mask.height, image->width,
            image->height);
    return false;
  }
  image->mask = std::move(mask.planes[0]);
  line.document.hasSelection = true;
  return true;
}

// The document of --in: its size, mode and depth (converted when --mode or --depth say so).
bool LoadInput(CommandLine& line, DocumentImage* image, ImageFileInfo* info) {
  std::string error;
  bool gray = line.document.imageMode == plugInModeGrayScale || line.document.imageMode == plugInModeGray16 ||
              line.document.imageMode == plugInModeGray32;
  int depth = line.depthGiven ? DepthOfMode(line.document.imageMode) : 0;
  if (!LoadImageFile(line.input, depth, line.modeGiven ? int(gray) : -1, image, info, &error)) {
    fprintf(stderr, "filterhost: %s\n", error.c_str());
    return false;
  }
  ParseMode(info->gray ? "gray" : "rgb", info->depth, &line.document.imageMode);
  line.document.width = image->width;
  line.document.height = image->height;
  line.document.hasTransparency = info->alpha;
  if (line.noProfile) info->iccProfile.clear();
  return line.mask.empty() || LoadMask(line, image);
}

// The descriptor of `--play` with the `--set` values over it. A played or set descriptor runs
// silently unless the dialog or the play info is asked for; without either none is offered.
bool PrepareDescriptor(CommandLine& line) {
  HostOptions& options = line.options;
  if (!line.play.empty()) {
    std::string text, error;
    if (!ReadTextFile(line.play, &text) || !ParseDescriptor(text, &options.play, &error)) {
      fprintf(stderr, "filterhost: the action to play cannot be read%s%s\n", error.empty() ? "" : ": ", error.c_str());
      return false;
    }
  }
  for (const ParameterSetting& setting : line.settings) PutDescriptorItem(&options.play, DescriptorItemOfSetting(setting));
  options.offerDescriptor = !line.play.empty() || !line.settings.empty();
  if (!line.playInfoGiven) options.playInfo = line.dialog ? plugInDialogDisplay : options.offerDescriptor ? plugInDialogSilent : plugInDialogDontDisplay;
  return true;
}

// `--record`: the descriptor that the finish selector handed back, one key a line.
bool WriteRecording(const CommandLine& line, const HostSession& session) {
  Descriptor recorded;
  if (!session.RecordedDescriptor(&recorded)) {
    fprintf(stderr, "filterhost: the plug-in returned no descriptor to record\n");
    return false;
  }
  if (!WriteTextFile(line.record, FormatDescriptor(recorded))) {
    fprintf(stderr, "filterhost: the recording cannot be written\n");
    return false;
  }
  return true;
}

// `--drive`: the whole script is read before the plug-in runs, so that a typing error costs no run.
bool ReadDriveScript(CommandLine& line) {
  std::string text, error;
  if (!ReadTextFile(line.drive, &text)) error = "cannot be read";
  else ParseDriveScript(text, &line.driveCommands, &error);
  if (error.empty()) return true;
  fprintf(stderr, "filterhost: the drive script %ls: %s\n", line.drive.c_str(), error.c_str());
  return false;
}

int Run(CommandLine& line) {
  if (!PrepareDescriptor(line)) return 1;
  if (!line.drive.empty() && !ReadDriveScript(line)) return 1;
  DocumentImage image;
  ImageFileInfo info;
  auto started = std::chrono::steady_clock::now();
  if (!line.input.empty() && !LoadInput(line, &image, &info)) return 1;
  if (line.options.time && !line.input.empty()) printf("time: reading the image %.3f s\n", SecondsSince(started));
  std::string error;
  if (!line.output.empty() && !CanSaveImageFile(line.output, DepthOfMode(line.document.imageMode), &error)) {
    fprintf(stderr, "filterhost: %s\n", error.c_str());
    return 1;
  }
  HostSession session(line.document, line.options);
  if (!line.input.empty()) session.SetImage(std::move(image), info.iccProfile);
  if (!session.Load(line.plugin, &error)) {
    fprintf(stderr, "filterhost: %s\n", error.c_str());
    return 1;
  }
  if (!line.about && !session.CheckDocumentEnabled(&error)) {
    fprintf(stderr, "filterhost: %s\n", error.c_str());
    return 1;
  }
  HWND window = CreatePlatformWindow();
  session.Record()->platformData->hwnd = reinterpret_cast<intptr_t>(window);
  if (!line.interactive) StartBoxWatcher(stdout, line.drive.empty() ? MAIN_DIALOG_CONFIRM : MAIN_DIALOG_LEAVE);
  int16 result = noErr;
  DriveThread driver(line.driveCommands, stdout);
  bool driving = !line.drive.empty() && !line.about;
  if (driving && !driver.Start()) return 1;
  if (line.about) {
    result = session.RunAbout();
  } else {
    result = line.dialog ? session.RunFirstRun() : session.RunRepeatRun();
    for (int i = 0; i < line.repeat && result == noErr; ++i) result = session.RunRepeatRun();
  }
  StopBoxWatcher();
  bool driven = !driving || driver.Finish();
  if (!driven) {
    fprintf(stderr, "filterhost: the drive failed: %s\n", driver.Failure().c_str());
    if (window != nullptr) DestroyWindow(window);
    return DriveExitStatus(false, ExitCodeOf(result));
  }
  if (result == noErr && !line.output.empty()) {
    started = std::chrono::steady_clock::now();
    if (!SaveImageFile(line.output, session.Image(), info.iccProfile, &error, line.compressionLevel)) {
      fprintf(stderr, "filterhost: %s\n", error.c_str());
      return 1;
    }
    if (line.options.time) printf("time: writing the image %.3f s\n", SecondsSince(started));
  }
  if (result == noErr && !line.record.empty() && !WriteRecording(line, session)) return 1;
  const HandleStatistics& handles = GetHandleStatistics();
  if (handles.misuse != 0) fprintf(stderr, "filterhost: %d misuses of host handles\n", handles.misuse);
  // A silent run has nobody to show boxes to; what the plug-in reported for it is shown here.
  if (!session.ErrorString().empty()) printf("filterhost: the plug-in's error string: %s\n", session.ErrorString().c_str());
  printf("filterhost: %s\n", result == noErr ? "done" : ("failed with " + ResultText(result)).c_str());
  if (window != nullptr) DestroyWindow(window);
  return handles.misuse != 0 && result == noErr ? 1 : ExitCodeOf(result);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CommandLine line;
  if (!ParseArguments(argc, argv, &line)) {
    PrintUsage();
    return 64;
  }
  return Run(line);
}
