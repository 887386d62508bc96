#include <gtest/gtest.h>

#include "ui/prompts.h"
#include "ui/text.h"

TEST(FileDialogFilter, DesignerFormBecomesQtForm) {
    EXPECT_EQ(ui::FileDialog::qtFilter(QStringLiteral("Autocad Fonts|*.shx;*.shp|True Type|*.ttf")),
              QStringLiteral("Autocad Fonts (*.shx *.shp);;True Type (*.ttf)"));
    EXPECT_EQ(ui::FileDialog::qtFilter(QStringLiteral("Font Definitio Files(*.txt)|*.txt")),
              QStringLiteral("Font Definitio Files(*.txt) (*.txt)"));
    EXPECT_EQ(ui::FileDialog::qtFilter(QString()), QString());
}

TEST(FileDialogFilter, AnsweredDialogsReturnTheAnswer) {
    ui::answerFileDialogsWith([](ui::FileDialog& d) {
        d.FileName = d.InitialDir + QStringLiteral("/fonts.txt");
        return d.mode() == ui::FileDialog::Mode::Save;
    });
    ui::FileDialog save(ui::FileDialog::Mode::Save);
    save.InitialDir = QStringLiteral("/data");
    EXPECT_TRUE(save.Execute(nullptr));
    EXPECT_EQ(save.FileName, QStringLiteral("/data/fonts.txt"));
    ui::FileDialog open(ui::FileDialog::Mode::Open);
    EXPECT_FALSE(open.Execute(nullptr));
    ui::answerFileDialogsWith({});
}

TEST(WindowsHebrewText, BytesAndCharactersMapBothWays) {
    // alef, tav, a sheqel sign and a byte Windows-1255 leaves undefined (0xFF).
    const std::string bytes = "\xE0\xFA\xA4\xFF";
    const QString text = ui::fromWindowsHebrew(bytes);
    EXPECT_EQ(text, QString(QChar(0x05D0)) + QChar(0x05EA) + QChar(0x20AA) + QChar(0xF7FF));
    EXPECT_EQ(ui::toWindowsHebrew(text), bytes);
    EXPECT_TRUE(ui::fitsWindowsHebrew(text));
    EXPECT_FALSE(ui::fitsWindowsHebrew(QString(QChar(0x4E2D))));
    EXPECT_EQ(ui::toWindowsHebrew(QString(QChar(0x4E2D))), "?");
}
