#include "core/scripted_interaction.h"
#include "effects/effect_settings.h"
#include "effects/resize_fields.h"

#include <gtest/gtest.h>

namespace pixtrel::test {
namespace {

const fx::EffectSettingRule& Rule(const char* name) { return *fx::FindEffectSettingRule(name); }

TEST(EffectSettings, StartValues) {
  const fx::EffectSettings s;
  EXPECT_EQ(s.seamlessDepth, 10);
  EXPECT_EQ(s.buttonizeDepth, 10);
  EXPECT_EQ(s.buttonizeWeight, 120);
  EXPECT_EQ(s.mosaicSize, 3);
  EXPECT_EQ(s.gaussianDepth, 0);
  EXPECT_EQ(s.twistDepth, 40);
  EXPECT_EQ(s.fisheyeDepth, 40);
  EXPECT_EQ(s.posterizeDepth, 100);
  EXPECT_EQ(s.solarizeDepth, 50);
  EXPECT_EQ(fx::EffectSettingRules().size(), 9u);
}

TEST(EffectSettings, PromptRule) {
  fx::EffectSettings s;
  const auto& gaussian = Rule("gaussian-depth");
  EXPECT_TRUE(fx::SetFromPrompt(s, gaussian, "abc"));  // not a number: the fallback 3
  EXPECT_EQ(s.gaussianDepth, 3);
  EXPECT_FALSE(fx::SetFromPrompt(s, gaussian, "10"));
  EXPECT_EQ(s.gaussianDepth, 3);
  EXPECT_TRUE(fx::SetFromPrompt(s, gaussian, "0"));
  EXPECT_EQ(s.gaussianDepth, 0);
  // Bounds included.
  EXPECT_TRUE(fx::SetFromPrompt(s, Rule("mosaic-size"), "20"));
  EXPECT_FALSE(fx::SetFromPrompt(s, Rule("mosaic-size"), "1"));
  EXPECT_EQ(s.mosaicSize, 20);
  EXPECT_TRUE(fx::SetFromPrompt(s, Rule("posterize-depth"), " $FF"));
  EXPECT_EQ(s.posterizeDepth, 255);
  EXPECT_TRUE(fx::SetFromPrompt(s, Rule("twist-depth"), "99999999999"));  // out of 32 bits: fallback 40
  EXPECT_EQ(s.twistDepth, 40);
  EXPECT_EQ(fx::ParseInteger("-12"), -12);
  EXPECT_EQ(fx::ParseInteger("12 "), std::nullopt);
  EXPECT_EQ(fx::ParseInteger(""), std::nullopt);
}

TEST(EffectSettings, EditAsksWithCaptionPromptAndValue) {
  ScriptedInteraction ui;
  fx::EffectSettings s;
  ui.inputs = {std::string("25"), std::nullopt};
  fx::EditEffectSetting(s, Rule("seamless-depth"), ui);
  EXPECT_EQ(s.seamlessDepth, 25);
  fx::EditEffectSetting(s, Rule("seamless-depth"), ui);  // cancelled
  EXPECT_EQ(s.seamlessDepth, 25);
  ASSERT_FALSE(ui.prompts.empty());
  EXPECT_NE(ui.prompts[0].find("Enter Seamless depth (10-50):"), std::string::npos);
}

TEST(ResizeFields, AspectRatioSettles) {
  fx::ResizeFields f;
  f.Open(100, 30);
  f.TypeWidth("8");
  EXPECT_EQ(f.Width(), 7);
  EXPECT_EQ(f.Height(), 2);
  EXPECT_EQ(f.StartWidth(), 100);
  f.TypeHeight("60");
  EXPECT_EQ(f.Width(), 200);
  EXPECT_EQ(f.Height(), 60);
  f.SetKeepAspect(false);
  f.TypeWidth("50");
  EXPECT_EQ(f.Height(), 60);
}

TEST(ResizeFields, IntegerEditRules) {
  EXPECT_EQ(fx::ResizeFields::EditValue("0"), 1);
  EXPECT_EQ(fx::ResizeFields::EditValue(""), 1);
  EXPECT_EQ(fx::ResizeFields::EditValue("1a2"), 12);
  EXPECT_EQ(fx::ResizeFields::EditValue("99999999999999"), 2147483647);
  fx::ResizeFields f;
  f.Open(640, 480);
  f.TypeWidth("0");
  EXPECT_EQ(f.Width(), 1);
  EXPECT_EQ(f.Height(), 1);
}

}  // namespace
}  // namespace pixtrel::test
