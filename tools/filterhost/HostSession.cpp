// Builds the filter record as the chosen host builds it and drives the selector sequences.
// Short-record hosts get a record whose end is followed by an inaccessible page, so a plug-in
// that reads past the 556 bytes those hosts declare faults at once instead of reading garbage.
#include "HostSession.h"

#include <chrono>
#include <cstring>

#include "EnableExpression.h"
#include "HostCallbacks.h"
#include "HostClock.h"
#include "HostHandleSuite.h"
#include "PIActions.h"

namespace {

struct ProfileRow {
  HostProfile profile;
  const char* name;
  size_t recordSize;
  bool bigDocument;
  bool basicSuite;
  bool propertyProcsCounted;
  bool descriptorProcs;
  bool supportsPadding;
};

// clang-format off
constexpr ProfileRow kProfiles[HOST_PROFILE_COUNT] = {
  // profile         name         record size               big doc  SPBasic  property count  descriptor procs  padding
  {HOST_PHOTOSHOP,  "photoshop", sizeof(FilterRecord),      true,    true,    true,           true,             true},
  {HOST_PDN,        "pdn",       kShortFilterRecordSize,    false,   true,    true,           true,             true},
  {HOST_PSPI,       "pspi",      sizeof(FilterRecord),      false,   false,   true,           false,            false},
  {HOST_AFFINITY,   "affinity",  sizeof(FilterRecord),      true,    true,    false,          true,             true},
};
// clang-format on

constexpr size_t kPageSize = 4096;
HostSession* gActiveSession = nullptr;  // the session whose selector call is in progress

}  // namespace

bool ParseHostProfile(const char* name, HostProfile* profile) {
  for (const ProfileRow& row : kProfiles) {
    if (strcmp(row.name, name) == 0) {
      *profile = row.profile;
      return true;
    }
  }
  return false;
}

const char* HostProfileName(HostProfile profile) { return kProfiles[profile].name; }

// A fault of some real hosts, imitated over any profile (`--quirk NAME`): "planes-from-zero"
// serves and takes plane 0 onward whatever plane a range starts at.
bool ApplyHostQuirk(const char* name, HostOptions* options) {
  if (strcmp(name, "planes-from-zero") != 0) return false;
  options->planeRanges = PLANES_FROM_ZERO;
  return true;
}

int16 HostDocument::Planes() const {
  bool gray = imageMode == plugInModeGrayScale || imageMode == plugInModeGray16 || imageMode == plugInModeGray32;
  return int16((gray ? 1 : 3) + (hasTransparency ? 1 : 0));
}

int32 HostDocument::Depth() const {
  switch (imageMode) {
    case plugInModeGray16: case plugInModeRGB48: return 16;
    case plugInModeGray32: case plugInModeRGB96: return 32;
    default: return 8;
  }
}

const char* SelectorName(int16 selector) {
  static const char* const kNames[] = {"about", "parameters", "prepare", "start", "continue", "finish"};
  return selector >= 0 && selector <= 5 ? kNames[selector] : "unknown";
}

std::string ResultText(int16 result) {
  switch (result) {
    case noErr: return "0 (success)";
    case userCanceledErr: return "-128 (user cancelled)";
    case memFullErr: return "-108 (out of memory)";
    case paramErr: return "-50 (parameter error)";
    case filterBadParameters: return "-30100 (bad parameters)";
    case filterBadMode: return "-30101 (unsupported image mode)";
    case errReportString: return "-30904 (error reported by the plug-in)";
    default: return std::to_string(result);
  }
}

OSErr HostSession::AdvanceState() {
  HostSession* session = gActiveSession;
  if (session == nullptr) return errPlugInHostInsufficient;
  if (session->m_Options.trace) fprintf(session->m_Options.out, "trace: advanceState()\n");
  session->EnsureImage();
  return ServeAdvanceState(session->m_Record, &session->m_Image, &session->m_Traffic, session->m_Options.planeRanges);
}

HostSession::HostSession(const HostDocument& document, const HostOptions& options)
    : m_Document(document), m_Options(options) {
  HostCallbackSettings& settings = GetHostCallbackSettings();
  const ProfileRow& row = kProfiles[options.profile];
  settings.trace = options.trace ? options.out : nullptr;
  settings.progress = options.out;
  settings.cancelAtPercent = options.cancelAtPercent;
  settings.offerBasicSuite = row.basicSuite;
  settings.offerPropertyProcs = row.propertyProcsCounted;
  SetHandleTrace(options.trace ? options.out : nullptr);
  ActionSuiteSettings actions = options.actions;
  if (row.profile == HOST_PDN && actions.actionDescriptorVersions > 2) actions.actionDescriptorVersions = 2;
  StartActionSuites(actions);
  AllocateRecord();
  BuildRecord();
}

bool HostSession::RecordedDescriptor(Descriptor* descriptor) const {
  return m_Descriptors.descriptor != nullptr && DescriptorOfHandle(m_Descriptors.descriptor, descriptor);
}

void HostSession::Activate() { gActiveSession = this; }

void HostSession::SetImage(DocumentImage image, const std::vector<uint8_t>& iccProfile) {
  m_Image = std::move(image);
  if (iccProfile.empty()) return;
  Handle profile = GetHostHandleProcs()->newProc(int32(iccProfile.size()));
  if (profile == nullptr) return;
  memcpy(*profile, iccProfile.data(), iccProfile.size());
  m_Record->iCCprofileData = profile;
  m_Record->iCCprofileSize = int32(iccProfile.size());
  m_Record->canUseICCProfiles = 1;
}

HostSession::~HostSession() {
  if (gActiveSession == this) gActiveSession = nullptr;
  if (m_Record != nullptr && m_Record->parameters != nullptr && IsLiveHandle(m_Record->parameters)) {
    GetHostHandleProcs()->disposeProc(m_Record->parameters);
  }
  if (m_Data != 0 && IsLiveHandle(reinterpret_cast<Handle>(m_Data))) {
    GetHostHandleProcs()->disposeProc(reinterpret_cast<Handle>(m_Data));
  }
  if (m_Record != nullptr && m_Record->iCCprofileData != nullptr && IsLiveHandle(m_Record->iCCprofileData)) {
    GetHostHandleProcs()->disposeProc(m_Record->iCCprofileData);
  }
  if (m_Descriptors.descriptor != nullptr && IsLiveHandle(m_Descriptors.descriptor)) {
    GetHostHandleProcs()->disposeProc(m_Descriptors.descriptor);
  }
  if (m_RecordMemory != nullptr) VirtualFree(m_RecordMemory, 0, MEM_RELEASE);
  if (m_Module != nullptr) FreeLibrary(m_Module);
}

void HostSession::AllocateRecord() {
  size_t size = kProfiles[m_Options.profile].recordSize;
  // Two pages: the record ends exactly where the second, inaccessible page begins.
  m_RecordMemory = VirtualAlloc(nullptr, 2 * kPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  DWORD old = 0;
  if (size < sizeof(FilterRecord)) VirtualProtect(static_cast<char*>(m_RecordMemory) + kPageSize, kPageSize, PAGE_NOACCESS, &old);
  char* start = static_cast<char*>(m_RecordMemory) + (size < sizeof(FilterRecord) ? kPageSize - size : 0);
  memset(start, 0, size);
  m_Record = reinterpret_cast<FilterRecord*>(start);
}

void HostSession::BuildRecord() {
  const ProfileRow& row = kProfiles[m_Options.profile];
  FilterRecord* r = m_Record;
  r->abortProc = HostAbortProc();
  r->progressProc = HostProgressProc();
  r->imageSize = Point{int16(std::min(m_Document.height, 32767)), int16(std::min(m_Document.width, 32767))};
  r->planes = m_Document.Planes();
  r->filterRect = Rect{0, 0, int16(std::min(m_Document.height, 32767)), int16(std::min(m_Document.width, 32767))};
  r->maxSpace = m_Options.maxSpace;
  r->haveMask = m_Document.hasSelection ? 1 : 0;
  r->hostSig = row.profile == HOST_AFFINITY ? FourCC("AffP") : FourCC("8BIM");
  r->imageMode = m_Document.imageMode;
  r->imageHRes = r->imageVRes = 72 << 16;
  r->wholeSize = r->imageSize;
  m_Platform.hwnd = 0;
  r->platformData = &m_Platform;
  r->handleProcs = GetHostHandleProcs();
  r->advanceState = AdvanceState;
  r->inTileWidth = r->inTileHeight = m_Options.tileSize;
  r->outTileWidth = r->outTileHeight = m_Options.tileSize;
  m_PropertyProcs = HostPropertyProcs();
  r->propertyProcs = &m_PropertyProcs;
  r->getPropertyObsolete = m_PropertyProcs.getPropertyProc;
  r->supportsPadding = row.supportsPadding ? 1 : 0;
  r->inputPadding = r->maskPadding = -3;
  r->inputRate = r->maskRate = 0x00010000;
  r->inLayerPlanes = int16(m_Document.Planes() - (m_Document.hasTransparency ? 1 : 0));
  r->inTransparencyMask = m_Document.hasTransparency ? 1 : 0;
  r->filterCase = int16(m_Document.hasTransparency ? (m_Document.hasSelection ? 5 : 4) : (m_Document.hasSelection ? 2 : 1));
  r->errorString = &m_ErrorString;
  if ((row.descriptorProcs || row.profile == HOST_PSPI) && m_Options.descriptorParameters) {
    if (row.descriptorProcs) {
      m_Descriptors.readDescriptorProcs = HostReadDescriptorProcs();
      m_Descriptors.writeDescriptorProcs = HostWriteDescriptorProcs();
    }
    m_Descriptors.playInfo = m_Options.playInfo;
    if (m_Options.offerDescriptor) m_Descriptors.descriptor = NewDescriptorHandle(m_Options.play);
    r->descriptorParameters = &m_Descriptors;
  }
  r->sSPBasic = HostBasicSuite();
  r->depth = m_Document.Depth();
  if (row.profile == HOST_PHOTOSHOP || row.profile == HOST_AFFINITY) {
    // The document description: version 0, mode, depth and bounds are what plug-ins read.
    int32 mode = r->imageMode, depth = r->depth;
    VRect bounds{0, 0, m_Document.height, m_Document.width};
    memcpy(m_DocumentInfo + 8, &mode, 4);
    memcpy(m_DocumentInfo + 12, &depth, 4);
    memcpy(m_DocumentInfo + 16, &bounds, sizeof bounds);
    r->documentInfo = m_DocumentInfo;
  }
  if (row.bigDocument) {
    m_BigDocument.imageSize32 = VPoint{m_Document.height, m_Document.width};
    m_BigDocument.filterRect32 = VRect{0, 0, m_Document.height, m_Document.width};
    m_BigDocument.wholeSize32 = m_BigDocument.imageSize32;
    r->bigDocumentData = &m_BigDocument;
  }
}

// The pixels are made when first asked for: a huge document whose image is never read costs nothing.
void HostSession::EnsureImage() {
  if (!m_Image.planes.empty()) return;
  const HostDocument& d = m_Document;
  bool gray = d.imageMode == plugInModeGrayScale || d.imageMode == plugInModeGray16 || d.imageMode == plugInModeGray32;
  m_Image = MakeTestDocument(d.width, d.height, gray ? 1 : 3, d.hasTransparency, d.Depth() / 8, d.hasSelection);
}

bool HostSession::Load(const std::wstring& path, std::string* error) {
  m_Module = LoadLibraryW(path.c_str());
  if (m_Module == nullptr) {
    *error = "cannot load the plug-in (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  std::vector<uint8_t> bytes = LoadPiplBytes(m_Module, error);
  if (bytes.empty() || !ParsePipl(bytes, &m_Pipl, error)) return false;
  const PiplProperty* kind = m_Pipl.Find(FourCC("kind"));
  if (kind == nullptr || kind->data.size() < 4 || memcmp(kind->data.data(), "MFB8", 4) != 0) {
    *error = "the plug-in is not a filter ('kind' is not '8BFM')";
    return false;
  }
  std::string entryName = m_Pipl.EntryPoint();
  if (entryName.empty()) {
    *error = "the PIPL names no 64-bit entry point ('8664')";
    return false;
  }
  m_Entry = reinterpret_cast<PluginEntryProc>(reinterpret_cast<void*>(GetProcAddress(m_Module, entryName.c_str())));
  if (m_Entry == nullptr) {
    *error = "the entry point '" + entryName + "' named by the PIPL is not exported";
    return false;
  }
  return true;
}

void HostSession::Attach(PluginEntryProc entry) { m_Entry = entry; }

bool HostSession::CheckDocumentEnabled(std::string* error) const {
  EnableContext context;
  context.imageMode = m_Document.imageMode;
  context.imageDepth = m_Document.Depth();
  context.imageWidth = m_Document.width;
  context.imageHeight = m_Document.height;
  context.hasSelectionMask = m_Document.hasSelection;
  context.hasTransparencyMask = m_Document.hasTransparency;
  context.numTargetChannels = m_Document.Planes();
  std::string expression = m_Pipl.EnableExpression();
  bool enabled = expression.empty() ? m_Pipl.SupportsModeBit(m_Document.imageMode)
                                    : EvaluateEnableExpression(expression, context, error);
  if (!enabled) {
    if (error->empty()) *error = "the plug-in does not enable this image mode";
    return false;
  }
  int32_t maxHeight = 0, maxWidth = 0;
  if (m_Pipl.MaximumSize(&maxHeight, &maxWidth) && (m_Document.height > maxHeight || m_Document.width > maxWidth)) {
    *error = "the document is larger than the plug-in's maximum size";
    return false;
  }
  int handling = m_Pipl.InputHandling(m_Record->filterCase);
  if (handling == 0) {
    *error = "the plug-in cannot filter this case of layer and selection";
    return false;
  }
  return true;
}

int16 HostSession::CallSelector(int16 selector) {
  int16 result = noErr;
  FILE* out = m_Options.out;
  if (m_Options.trace) fprintf(out, "trace: PluginMain(%s)\n", SelectorName(selector));
  auto started = std::chrono::steady_clock::now();
  MarkHostTime((std::string(SelectorName(selector)) + " selector called").c_str());
  gActiveSession = this;
  if (selector == filterSelectorAbout) {
    AboutRecord about{};
    about.platformData = &m_Platform;
    about.sSPBasic = HostBasicSuite();
    m_Entry(selector, &about, &m_Data, &result);
  } else {
    m_Entry(selector, m_Record, &m_Data, &result);
  }
  CommitPendingOutput(m_Record, &m_Image, &m_Traffic);  // the host takes the last output back
  gActiveSession = nullptr;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  m_Outcomes.push_back({selector, result, seconds});
  if (m_Options.trace) fprintf(out, "trace: PluginMain(%s) returned %s\n", SelectorName(selector), ResultText(result).c_str());
  if (m_Options.time) fprintf(out, "time: %s %.3f s\n", SelectorName(selector), seconds);
  if (m_Traffic.outputTilesCommitted > 0 && selector == filterSelectorStart) {
    char event[96];
    snprintf(event, sizeof event, "the last output was taken back at %.3f s; start returned", m_Traffic.lastOutputSeconds);
    MarkHostTime(event);
  }
  return result;
}

bool HostSession::RectanglesRequested() const {
  auto empty16 = [](const Rect& r) { return r.right <= r.left || r.bottom <= r.top; };
  auto empty32 = [](const VRect& r) { return r.right <= r.left || r.bottom <= r.top; };
  const BigDocumentStruct* big = m_Record->bigDocumentData;
  if (big != nullptr && big->PluginUsing32BitCoordinates) {
    return !empty32(big->inRect32) || !empty32(big->outRect32) || !empty32(big->maskRect32);
  }
  return !empty16(m_Record->inRect) || !empty16(m_Record->outRect) || !empty16(m_Record->maskRect);
}

// Continue is sent while any rectangle is requested; a plug-in that never empties them would
// loop for ever, so the host gives up after a generous count, as real hosts time out.
int16 HostSession::RunSequence(bool withParameters) {
  if (withParameters) {
    int16 result = CallSelector(filterSelectorParameters);
    if (result != noErr) return result;
  }
  int16 result = CallSelector(filterSelectorPrepare);
  if (result != noErr) return result;
  result = CallSelector(filterSelectorStart);
  if (result != noErr) return result;
  for (int calls = 0; RectanglesRequested(); ++calls) {
    if (calls == 100000) return paramErr;
    result = CallSelector(filterSelectorContinue);
    if (result != noErr) break;
  }
  int16 finish = CallSelector(filterSelectorFinish);
  return result != noErr ? result : finish;
}

int16 HostSession::RunFirstRun() { return RunSequence(true); }
int16 HostSession::RunRepeatRun() { return RunSequence(false); }
int16 HostSession::RunAbout() { return CallSelector(filterSelectorAbout); }
