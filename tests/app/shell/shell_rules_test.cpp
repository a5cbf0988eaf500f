// The shell's small rules: Save As's target name, the dialogs' filter
// conversion and the answer script of the end-to-end hook.
#include <gtest/gtest.h>

#include <QDialog>

#include "app/app_dialogs.h"
#include "app/main_window.h"
#include "core/scripted_interaction.h"
#include "io/formats.h"
#include "io/image_io.h"

namespace pixtrel {
namespace {

TEST(SaveAsTargetName, ReplacesTheFileNamesExtensionInUpperCase) {
  EXPECT_EQ(SaveAsTargetName("/d/picture.gif", ".PNG"), "/d/picture.PNG");
  EXPECT_EQ(SaveAsTargetName("/d/picture", FilterIndexToExt(10)), "/d/picture.TGA");
  EXPECT_EQ(SaveAsTargetName("/d/a.b.jpeg", ".jpg"), "/d/a.b.JPG");
  // A dot in a folder name is not the file's extension.
  EXPECT_EQ(SaveAsTargetName("/d.old/photo", ".BMP"), "/d.old/photo.BMP");
  EXPECT_EQ(SaveAsTargetName("/d/photo.", ".GIF"), "/d/photo.GIF");
  EXPECT_EQ(SaveAsTargetName("/d/secret.png", FilterIndexToExt(7)), "/d/secret.XGIF");
}

TEST(QtNameFilters, KeepsDescriptionsAndListsThePatterns) {
  EXPECT_EQ(QtNameFilters("Graphic Files|*.bmp;*.ico|GIF Images|*.gif"),
            QStringList({"Graphic Files (*.bmp *.ico)", "GIF Images (*.gif)"}));
  EXPECT_EQ(QtNameFilters("Windows Bitmap (*.bmp)|*.bmp"), QStringList({"Windows Bitmap (*.bmp)"}));
  const QStringList save = QtNameFilters(kSaveFilter);
  ASSERT_EQ(save.size(), 12);
  EXPECT_EQ(save[0], "Compuserve Graphics Interchange (*.gif)");
  EXPECT_EQ(save[6], "Encrypted GIF Images (*.xgif)");
  EXPECT_EQ(save[9], "Truevision Target (*.tga)");
  EXPECT_EQ(save[10], "WebP Image (*.webp)");
  EXPECT_EQ(QtNameFilters(kOpenFilter).size(), 20);
  EXPECT_TRUE(QtNameFilters("").isEmpty());
}

TEST(ReadAnswerScript, QueuesEveryKindOfAnswerInOrder) {
  ScriptedAppDialogs dialogs;
  ScriptedInteraction interaction;
  std::string error;
  ASSERT_TRUE(
      ReadAnswerScript({"# comment", "", "open /a b.png", "open", "save 3 /o/x y.gif", "folder /out", "modal ok",
                        "modal cancel", "confirm yes", "confirm no", "input 300", "input", "password secret\r",
                        "color #FF8000", "color"},
                       dialogs, interaction, error))
      << error;
  ASSERT_EQ(dialogs.openAnswers.size(), 2u);
  EXPECT_EQ(*dialogs.openAnswers[0], "/a b.png");
  EXPECT_FALSE(dialogs.openAnswers[1]);
  ASSERT_EQ(dialogs.saveAnswers.size(), 1u);
  EXPECT_EQ(dialogs.saveAnswers[0]->path, "/o/x y.gif");
  EXPECT_EQ(dialogs.saveAnswers[0]->filterIndex, 3);
  EXPECT_EQ(*dialogs.folderAnswers.at(0), "/out");
  ASSERT_EQ(dialogs.modalAnswers.size(), 2u);
  QDialog dialog;
  EXPECT_TRUE(dialogs.RunModal(dialog));
  EXPECT_FALSE(dialogs.RunModal(dialog));
  EXPECT_FALSE(dialogs.RunModal(dialog));  // nothing left: Cancel
  EXPECT_EQ(interaction.confirmations, std::deque<bool>({true, false}));
  ASSERT_EQ(interaction.inputs.size(), 2u);
  EXPECT_EQ(*interaction.inputs[0], "300");
  EXPECT_FALSE(interaction.inputs[1]);
  EXPECT_EQ(*interaction.passwords.at(0), "secret");
  ASSERT_EQ(interaction.colors.size(), 2u);
  EXPECT_EQ(*interaction.colors[0], RGB(255, 128, 0));
  EXPECT_FALSE(interaction.colors[1]);
}

TEST(ReadAnswerScript, RejectsWhatItDoesNotUnderstand) {
  for (const char* line : {"save /no/index.png", "save 0 /x.png", "save 3", "modal maybe", "confirm", "click 1 2",
                           "color red", "color #12345", "color #12345G"}) {
    ScriptedAppDialogs dialogs;
    ScriptedInteraction interaction;
    std::string error;
    EXPECT_FALSE(ReadAnswerScript({"open /a.png", line}, dialogs, interaction, error)) << line;
    EXPECT_EQ(error, line);
  }
}

TEST(ScriptedAppDialogs, EmptyQueuesCancel) {
  ScriptedAppDialogs dialogs;
  EXPECT_FALSE(dialogs.OpenFileName(nullptr, "f", "/s"));
  EXPECT_FALSE(dialogs.SaveFileName(nullptr, "f", 1, "/s"));
  EXPECT_FALSE(dialogs.SelectFolder(nullptr, "t", "/s"));
  ASSERT_EQ(dialogs.requests.size(), 3u);
  EXPECT_EQ(dialogs.requests[1].kind, "save");
  EXPECT_EQ(dialogs.requests[1].filterIndex, 1);
  EXPECT_EQ(dialogs.requests[2].text, "t");
}

}  // namespace
}  // namespace pixtrel
