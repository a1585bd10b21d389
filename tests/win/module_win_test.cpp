// The built Koralin.dll under Wine, loaded as a Windows host loads it: exports, resources, identity and sound.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/lib/plugin_host.h"

namespace {

struct ListedResource {
  const char* name;
  const char* type;
  const char* file;
};
const ListedResource kListed[] = {
#include "resource_list.inc"
    {nullptr, nullptr, nullptr}};

class Module {
 public:
  Module() : handle(LoadLibraryA(KORALIN_DLL)) {}
  ~Module() {
    if (handle) FreeLibrary(handle);
  }
  HMODULE handle;
};

TEST(WinModule, TheEntryPointIsExportedUnderThreeNamesAsOneFunction) {
  Module module;
  ASSERT_NE(module.handle, nullptr) << KORALIN_DLL;
  FARPROC entry = GetProcAddress(module.handle, "VSTPluginMain");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(GetProcAddress(module.handle, "main"), entry);
  EXPECT_EQ(GetProcAddress(module.handle, "MAIN"), entry);
}

TEST(WinModule, ResourcesAreInTheModuleUnderTheirNamesAndTypes) {
  Module module;
  ASSERT_NE(module.handle, nullptr);
  size_t checked = 0;
  for (const ListedResource* entry = kListed; entry->name; ++entry, ++checked) {
    HRSRC info = FindResourceA(module.handle, entry->name, entry->type);
    ASSERT_NE(info, nullptr) << entry->name << " of type " << entry->type;
    HANDLE file = CreateFileA(entry->file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << entry->file;
    EXPECT_EQ(SizeofResource(module.handle, info), GetFileSize(file, nullptr)) << entry->name;
    CloseHandle(file);
  }
  EXPECT_GT(checked, 0u);
  EXPECT_NE(FindResourceA(module.handle, "FactoryBank", "FXB"), nullptr);
}

TEST(WinModule, AHostGetsTheInstrumentWithItsIdentity) {
  Host::PluginHost host(KORALIN_DLL);
  AEffect* effect = host.effect();
  EXPECT_EQ(effect->uniqueID, vstFourCC('k', 'm', 'P', 'x'));
  EXPECT_EQ(effect->numParams, 7);
  EXPECT_EQ(effect->numPrograms, 8);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_NE(effect->flags & effFlagsIsSynth, 0);
  EXPECT_EQ(host.text(effGetEffectName), "Koralin");
  EXPECT_EQ(host.text(effGetVendorString), "Quillmarsh");
  EXPECT_EQ(host.text(effGetProductString), "Quillmarsh Koralin");
  EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
  // The wheel call is answered whether or not an editor is under the pointer; any other is not.
  EXPECT_EQ(host.dispatch(effVendorSpecific, 0x73744341, 0x57686565, nullptr, 1.0f), 1);
  EXPECT_EQ(host.dispatch(effVendorSpecific, 0x73744341, 0x57686566, nullptr, 1.0f), 0);
}

TEST(WinModule, ANotePlaysTheSameOnBothChannelsAndStaysFinite) {
  Host::PluginHost host(KORALIN_DLL);
  host.start(44100.0f, 512);
  host.sendMidi({{0, 0x90, 45, 120}});
  double peak = 0;
  bool finite = true, same = true;
  for (int block = 0; block < 40; ++block) {
    std::vector<float> left, right;
    host.renderFloat(left, right, 512);
    for (size_t i = 0; i < left.size(); ++i) {
      finite = finite && std::isfinite(left[i]);
      same = same && left[i] == right[i];
      peak = std::max(peak, (double)std::fabs(left[i]));
    }
  }
  EXPECT_TRUE(finite);
  EXPECT_TRUE(same);
  EXPECT_GT(peak, 0.01);
  EXPECT_LT(peak, 4.0);
}

TEST(WinModule, TwoInstancesAndAReloadLiveSideBySide) {
  {
    Host::PluginHost a(KORALIN_DLL), b(KORALIN_DLL);
    a.start(48000.0f, 64);
    b.start(44100.0f, 128);
    a.setParameter(2, 0.1f);
    EXPECT_NE(a.getParameter(2), b.getParameter(2));
  }
  Host::PluginHost again(KORALIN_DLL);  // the module was unloaded with the last instance and loads afresh
  again.start(44100.0f, 256);
  std::vector<float> left, right;
  again.renderFloat(left, right, 256);
  EXPECT_EQ(left.size(), 256u);
}

}  // namespace
