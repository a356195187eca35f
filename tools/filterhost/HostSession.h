// The reference host's side of one loaded plug-in: the document, a filter record built the way
// a chosen real host builds it, the host's suites and callbacks, and the selector sequences.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "PISuites.h"
#include "PIActions.h"
#include "ActionSuites.h"
#include "Descriptors.h"
#include "DocumentImage.h"
#include "ParameterSettings.h"
#include "PiplReader.h"

enum HostProfile { HOST_PHOTOSHOP, HOST_PDN, HOST_PSPI, HOST_AFFINITY, HOST_PROFILE_COUNT };
bool ParseHostProfile(const char* name, HostProfile* profile);
const char* HostProfileName(HostProfile profile);
struct HostOptions;
bool ApplyHostQuirk(const char* name, HostOptions* options);

struct HostDocument {
  int32 width = 512;
  int32 height = 512;
  int16 imageMode = plugInModeRGBColor;
  bool hasSelection = false;
  bool hasTransparency = false;
  int16 Planes() const;
  int32 Depth() const;
};

struct HostOptions {
  HostProfile profile = HOST_PHOTOSHOP;
  bool trace = false;
  bool time = false;
  int cancelAtPercent = -1;  // abort answers true once progress reaches it
  int16 tileSize = 512;      // the host's suggested tile edge; 0 suggests none
  PlaneRangeService planeRanges = PLANES_AS_ASKED;
  int32 maxSpace = 1 << 30;
  FILE* out = stdout;
  // Scripting: the descriptor offered at start (`--play`, `--set`), with its play info; without
  // one the host offers none. `--no-descriptors` leaves the record without descriptor parameters.
  bool offerDescriptor = false;
  Descriptor play;
  int16 playInfo = plugInDialogDontDisplay;
  bool descriptorParameters = true;
  ActionSuiteSettings actions;
};

struct SelectorOutcome {
  int16 selector;
  int16 result;
  double seconds;
};

class HostSession {
 public:
  HostSession(const HostDocument& document, const HostOptions& options);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // Loads the module, reads its PIPL and finds the entry it names; false with *error otherwise.
  bool Load(const std::wstring& path, std::string* error);
  // Attaches an entry directly (tests of the plug-in library linked into the test itself).
  void Attach(PluginEntryProc entry);
  bool CheckDocumentEnabled(std::string* error) const;

  int16 CallSelector(int16 selector);
  int16 RunFirstRun();   // parameters, prepare, start, continue..., finish
  int16 RunRepeatRun();  // prepare, start, continue..., finish
  int16 RunAbout();
  // Serves advanceState for a plug-in library driven directly (tests), as during a selector call.
  void Activate();
  // The document's pixels from a file, and its embedded profile handed to the plug-in.
  void SetImage(DocumentImage image, const std::vector<uint8_t>& iccProfile);

  FilterRecord* Record() { return m_Record; }
  BigDocumentStruct* BigDocument() { return m_Record->bigDocumentData; }
  intptr_t& DataCell() { return m_Data; }
  const std::vector<SelectorOutcome>& Outcomes() const { return m_Outcomes; }
  const PiplRecord& Pipl() const { return m_Pipl; }
  void SetParametersHandle(Handle handle) { m_Record->parameters = handle; }
  HWND PlatformWindow() const { return reinterpret_cast<HWND>(m_Platform.hwnd); }
  DocumentImage& Image() {
    EnsureImage();
    return m_Image;
  }
  const ImageTraffic& Traffic() const { return m_Traffic; }
  PIDescriptorParameters& DescriptorParameters() { return m_Descriptors; }
  // The message the plug-in left in the record's error string (empty when none).
  std::string ErrorString() const { return std::string(reinterpret_cast<const char*>(m_ErrorString + 1), m_ErrorString[0]); }
  // The descriptor the finish selector left with the host (false when there is none).
  bool RecordedDescriptor(Descriptor* descriptor) const;

 private:
  void BuildRecord();
  void AllocateRecord();
  void SetImageRectangles();
  bool RectanglesRequested() const;
  int16 RunSequence(bool withParameters);

  HostDocument m_Document;
  HostOptions m_Options;
  HMODULE m_Module = nullptr;
  PluginEntryProc m_Entry = nullptr;
  PiplRecord m_Pipl;
  void* m_RecordMemory = nullptr;  // page-guarded for short-record hosts
  FilterRecord* m_Record = nullptr;
  BigDocumentStruct m_BigDocument{};
  PlatformData m_Platform{};
  PropertyProcs m_PropertyProcs{};
  PIDescriptorParameters m_Descriptors{};
  alignas(8) uint8_t m_DocumentInfo[944] = {};  // ReadImageDocumentDesc, natural alignment
  Str255 m_ErrorString{};
  intptr_t m_Data = 0;
  std::vector<SelectorOutcome> m_Outcomes;
  DocumentImage m_Image;
  ImageTraffic m_Traffic;
  static OSErr AdvanceState();
  void EnsureImage();
};

const char* SelectorName(int16 selector);
std::string ResultText(int16 result);
