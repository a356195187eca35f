// The registration record and the scripting terminology of the built plug-in, byte for byte, and
// how a host reads the record.
#include <gtest/gtest.h>

#include "HostSession.h"
#include "PiplReader.h"
#include "TestSupport.h"

namespace {

// The expected record, written out independently of the resource script.
class PiplBuilder {
 public:
  void Int8(uint8_t value) { Bytes(&value, 1); }
  void Int16(int16_t value) { Bytes(&value, 2); }
  void Int32(int32_t value) { Bytes(&value, 4); }
  void Code(const char (&code)[5]) { Int32(int32_t(FourCC(code))); }
  void Property(const char (&key)[5], std::vector<uint8_t> data) {
    while (data.size() % 4 != 0) data.push_back(0);
    Code("8BIM");
    Code(key);
    Int32(0);
    Int32(int32_t(data.size()));
    m_Bytes.insert(m_Bytes.end(), data.begin(), data.end());
  }
  const std::vector<uint8_t>& Result() const { return m_Bytes; }

 private:
  void Bytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_Bytes.insert(m_Bytes.end(), bytes, bytes + size);
  }
  std::vector<uint8_t> m_Bytes;
};

std::vector<uint8_t> PascalString(const std::string& text) {
  std::vector<uint8_t> data(text.size() + 1);
  data[0] = uint8_t(text.size());
  std::copy(text.begin(), text.end(), data.begin() + 1);
  return data;
}

std::vector<uint8_t> CString(const std::string& text, size_t paddedSize = 0) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  while (data.size() < paddedSize) data.push_back(0);
  return data;
}

std::vector<uint8_t> LittleEndian(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> data;
  for (uint32_t value : values) {
    for (int i = 0; i < 4; ++i) data.push_back(uint8_t(value >> (8 * i)));
  }
  return data;
}

std::vector<uint8_t> ExpectedPipl() {
  PiplBuilder pipl;
  pipl.Int16(1);
  pipl.Int32(0);
  pipl.Int32(11);
  pipl.Property("kind", LittleEndian({FourCC("8BFM")}));
  pipl.Property("name", PascalString("Halvorn Pro 3..."));
  pipl.Property("catg", PascalString("Vellbrook Software"));
  pipl.Property("vers", LittleEndian({0x00040000}));
  pipl.Property("8664", CString("PluginMain"));
  pipl.Property("mode", {0x50, 0, 0, 0});
  std::vector<uint8_t> terminology = LittleEndian({0, FourCC("VBQ1"), FourCC("VBQ1")});
  terminology.push_back(uint8_t(16000 & 0xFF));
  terminology.push_back(uint8_t(16000 >> 8));
  std::vector<uint8_t> scope = CString("734294A4-1CE5-49C7-A3A4-39D01A5DBEF2");
  terminology.insert(terminology.end(), scope.begin(), scope.end());
  terminology.resize(56, 0);
  pipl.Property("hstm", terminology);
  pipl.Property("enbl", CString("in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode, RGB96Mode, Gray32Mode)"));
  pipl.Property("ms32", LittleEndian({32767, 32767}));
  pipl.Property("flly", {0x80, 0, 0, 0});
  std::vector<uint8_t> cases;
  for (int i = 0; i < 7; ++i) cases.insert(cases.end(), {1, 1, 0x0D, 0});
  pipl.Property("fici", cases);
  return pipl.Result();
}

HMODULE LoadPluginAsData() {
  return LoadLibraryExW(BuiltPluginPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

}  // namespace

TEST(Registration, ThePiplResourceHoldsExactlyTheTabledBytes) {
  HMODULE module = LoadPluginAsData();
  ASSERT_NE(module, nullptr);
  HRSRC english = FindResourceExW(module, L"PIPL", MAKEINTRESOURCEW(16000), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  EXPECT_NE(english, nullptr) << "the record is registered in language 1033";
  std::string error;
  std::vector<uint8_t> bytes = LoadPiplBytes(module, &error);
  EXPECT_EQ(bytes, ExpectedPipl()) << error;
  FreeLibrary(module);
}

TEST(Registration, TheHostFindsTheEntryThroughTheRecord) {
  HostSession session(HostDocument{}, HostOptions{});
  std::string error;
  ASSERT_TRUE(session.Load(BuiltPluginPath(), &error)) << error;
  EXPECT_EQ(session.Pipl().EntryPoint(), "PluginMain");
  EXPECT_TRUE(session.Pipl().SupportsModeBit(plugInModeRGBColor));
  EXPECT_TRUE(session.Pipl().SupportsModeBit(plugInModeGrayScale));
  EXPECT_FALSE(session.Pipl().SupportsModeBit(plugInModeCMYKColor));
  for (int filterCase = 1; filterCase <= 7; ++filterCase) EXPECT_EQ(session.Pipl().InputHandling(filterCase), 1);
}

TEST(Registration, EnabledForGrayAndRgbAtEveryDepthUpToTheMaximumSize) {
  const int16 enabled[] = {plugInModeGrayScale, plugInModeRGBColor, plugInModeGray16, plugInModeRGB48, plugInModeGray32, plugInModeRGB96};
  for (int16 mode : enabled) {
    HostDocument document;
    document.imageMode = mode;
    document.width = 32767;
    HostSession session(document, HostOptions{});
    std::string error;
    ASSERT_TRUE(session.Load(BuiltPluginPath(), &error)) << error;
    EXPECT_TRUE(session.CheckDocumentEnabled(&error)) << mode << ": " << error;
  }
  HostDocument cmyk;
  cmyk.imageMode = plugInModeCMYKColor;
  HostSession refused(cmyk, HostOptions{});
  std::string error;
  ASSERT_TRUE(refused.Load(BuiltPluginPath(), &error));
  EXPECT_FALSE(refused.CheckDocumentEnabled(&error));
  HostDocument wide;
  wide.width = 32768;
  HostSession tooWide(wide, HostOptions{});
  ASSERT_TRUE(tooWide.Load(BuiltPluginPath(), &error));
  error.clear();
  EXPECT_FALSE(tooWide.CheckDocumentEnabled(&error));
  EXPECT_EQ(error, "the document is larger than the plug-in's maximum size");
}

TEST(Registration, AShortRecordHostFaultsOnReadsPastItsEnd) {
  HostOptions options;
  options.profile = HOST_PDN;
  HostSession session(HostDocument{}, options);
  const char* record = reinterpret_cast<const char*>(session.Record());
  EXPECT_FALSE(IsBadReadPtr(record + kShortFilterRecordSize - 4, 4));
  EXPECT_TRUE(IsBadReadPtr(record + kShortFilterRecordSize, 1)) << "maxSpace64 must not be readable there";
  EXPECT_EQ(session.Record()->bigDocumentData, nullptr);
}

TEST(PiplReader, RefusesALengthThatRunsPastTheResource) {
  std::vector<uint8_t> bytes = ExpectedPipl();
  bytes[10 + 12] = 0xFF;  // first property's length
  PiplRecord record;
  std::string error;
  EXPECT_FALSE(ParsePipl(bytes, &record, &error));
  EXPECT_EQ(error, "a PIPL property runs past the end of the resource");
  bytes.resize(8);
  EXPECT_FALSE(ParsePipl(bytes, &record, &error));
}

namespace {

// The scripting terminology, written out independently of the resource script.
std::vector<uint8_t> ExpectedTerminology() {
  PiplBuilder aete;
  auto text = [&aete](const std::string& value) {
    for (uint8_t byte : PascalString(value)) aete.Int8(byte);
  };
  aete.Int16(1);
  aete.Int8(1), aete.Int8(0);
  aete.Int16(0), aete.Int16(0), aete.Int16(1);
  text("Vellbrook Software"), text("Vellbrook Software");
  aete.Code("VBQ1"), aete.Int16(1), aete.Int16(1), aete.Int16(1);
  text("Halvorn Pro 3"), text("Halvorn Pro 3 filter plug-in");
  aete.Code("VBQ1"), aete.Code("VBQ1");
  aete.Code("null"), text(""), aete.Int16(0);
  aete.Code("#ImR"), text(""), aete.Int16(int16_t(0xB000));
  struct Parameter {
    const char* name;
    const char (&key)[5];
    const char (&type)[5];
    const char* description;
    int16_t flags;
  };
  const Parameter parameters[] = {
      {"output spikes only", "opsO", "bool", "Halvorn output spikes only", 0},
      {"effect", "stEf", "efTy", "Halvorn star effect type", 0x2000},
      {"quantity", "qntY", "doub", "Halvorn quantity", 0},
      {"intensity", "Intn", "doub", "Halvorn intensity", 0},
      {"length", "Lngt", "doub", "Halvorn length", 0},
      {"angle", "Angl", "doub", "Halvorn angle", 0},
      {"number of points", "numP", "long", "Halvorn number of points", 0},
      {"spike sharpness", "spsH", "doub", "Halvorn spike sharpness", 0},
      {"spike spread", "spsP", "doub", "Halvorn spike spread", 0},
      {"saturation", "Strt", "doub", "Halvorn color saturation", 0},
      {"rainbow intensity", "rbwI", "doub", "Halvorn rainbow intensity", 0},
      {"rainbow frequency", "rbwF", "doub", "Halvorn rainbow frequency", 0},
      {"secondary spike intensity", "sspI", "doub", "Halvorn secondary spike intensity", 0},
      {"soft flare brightness", "sflB", "doub", "Halvorn soft flare brightness", 0},
  };
  aete.Int16(14);
  for (const Parameter& p : parameters) text(p.name), aete.Code(p.key), aete.Code(p.type), text(p.description), aete.Int16(p.flags);
  aete.Int16(0), aete.Int16(0), aete.Int16(1);
  aete.Code("efTy"), aete.Int16(7);
  struct Enumerator {
    const char* name;
    const char (&code)[5];
  };
  const Enumerator styles[] = {{"Standard Star", "efT0"}, {"Hollywood Star", "efT1"}, {"Hyper Star", "efT3"}, {"North Star", "efT4"},
                               {"Vector Star", "efT5"},   {"Religious Cross", "efT2"}, {"Star Burst", "efT6"}};
  for (const Enumerator& e : styles) text(e.name), aete.Code(e.code), text(std::string(e.name) + " Effect");
  return aete.Result();
}

}  // namespace

TEST(Registration, TheTerminologyResourceHoldsExactlyTheTabledBytes) {
  HMODULE module = LoadPluginAsData();
  ASSERT_NE(module, nullptr);
  HRSRC resource = FindResourceExW(module, L"AETE", MAKEINTRESOURCEW(16000), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(resource, nullptr) << "the terminology is registered in language 1033 under the id the record names";
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
  std::vector<uint8_t> bytes(data, data + SizeofResource(module, resource));
  std::vector<uint8_t> expected = ExpectedTerminology();
  EXPECT_EQ(bytes.size(), expected.size());
  EXPECT_EQ(bytes, expected);
  FreeLibrary(module);
}
