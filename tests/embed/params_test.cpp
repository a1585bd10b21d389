// The parameter table's conversions over every one of the 64000 steps, and the describer against the instrument.
#include <gtest/gtest.h>

#include <string>

#include "plugin/embed/describe.h"
#include "tests/embed/embed_rig.h"

namespace {

using namespace KoralinParams;

std::string text(int32_t index, float normalized) {
  char buffer[32] = {};
  formatText(index, normalized, buffer);
  return buffer;
}

// A host that stores a plain value and hands it back must find the same step; a display text read back must show
// the same text again, with or without its label.
TEST(ParamTable, EveryStepSurvivesItsPlainValueAndItsText) {
  for (int32_t i = 0; i < kCount; ++i) {
    const Param& p = param(i);
    for (uint32_t n = 0; n <= kSteps; ++n) {
      const float x = normalizedOfStep(n);
      const double plain = plainOf(i, x);
      ASSERT_GE(plain, p.minimum);
      ASSERT_LE(plain, p.maximum);
      if (p.unit == Unit::Choice) ASSERT_EQ(text(i, normalizedOf(i, plain)), text(i, x)) << p.name << " step " << n;
      else ASSERT_EQ(stepOf(i, plain), n) << p.name << " at " << plain;
      const std::string shown = text(i, x);
      double read = -1;
      ASSERT_TRUE(parseText(i, shown.c_str(), read)) << p.name << " \"" << shown << "\"";
      ASSERT_EQ(text(i, normalizedOf(i, read)), shown) << p.name << " step " << n;
      const std::string labelled = " " + shown + " " + p.label + " ";
      double again = -1;
      ASSERT_TRUE(parseText(i, labelled.c_str(), again) && again == read) << p.name << " \"" << labelled << "\"";
    }
    EXPECT_EQ(text(i, normalizedOf(i, defaultPlain(i))), text(i, p.defaultNormalized));
    double out = 0;
    for (const char* wrong : {"", "loud", "12 dB", "nan", "5 5"}) EXPECT_FALSE(parseText(i, wrong, out)) << wrong;
  }
}

// What a format's description says of the programs and the product is what the instrument holds and answers.
TEST(Describer, FactoryProgramsAndProductAreTheInstruments) {
  const std::vector<Embed::FactoryProgram> programs =
      Embed::readFactoryPrograms(KORALIN_SOURCE_DIR "/resources/factory_programs.txt");
  std::unique_ptr<Embed::Instance> instance = Rig::makeInstance();
  ASSERT_TRUE(instance);
  ASSERT_EQ((int32_t)programs.size(), instance->programCount());
  for (int32_t p = 0; p < instance->programCount(); ++p) {
    instance->selectProgram(p);
    EXPECT_EQ(instance->programName(p), programs[(size_t)p].name);
    for (int32_t i = 0; i < kCount; ++i) EXPECT_EQ(instance->parameter(i), programs[(size_t)p].normalized(i));
  }
  char name[64] = {}, vendor[64] = {};
  instance->dispatch(effGetEffectName, 0, 0, name);
  instance->dispatch(effGetVendorString, 0, 0, vendor);
  EXPECT_STREQ(Embed::product().name, name);
  EXPECT_STREQ(Embed::product().vendor, vendor);
}

}  // namespace
