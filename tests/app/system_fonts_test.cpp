// Fonts picked from the families the system offers: a family the system lacks becomes one it
// has (a sans face), one it has stays, names match whatever their case.
#include "app/system_fonts.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>

namespace comsetup::test {
namespace {

TEST(SystemFonts, FirstFamilyOfferedIsTheFirstWantedAsTheSystemSpellsIt) {
    const QStringList offered{"DejaVu Sans", "Tahoma", "DejaVu Sans Mono"};
    EXPECT_EQ(FirstFamilyOffered({"Segoe UI", "tahoma", "DejaVu Sans"}, offered), "Tahoma");
    EXPECT_EQ(FirstFamilyOffered({"dejavu sans mono"}, offered), "DejaVu Sans Mono");
    EXPECT_EQ(FirstFamilyOffered({"DejaVu"}, offered), ""); // whole names only
    EXPECT_EQ(FirstFamilyOffered({"Consolas"}, offered), "");
    EXPECT_EQ(FirstFamilyOffered({"Tahoma"}, {}), "");
}

TEST(SystemFonts, ADialogFontDrawnInAStrayFaceIsNotKept) {
    struct Row {
        const char* asked;
        const char* drawn;
        bool willDo;
    };
    for (const Row& row :
         {Row{"MS Shell Dlg 2", "MS Shell Dlg 2", true}, Row{"MS Shell Dlg 2", "Tahoma", true},
          Row{"MS Shell Dlg 2", "dejavu sans", true},
          Row{"MS Shell Dlg 2", "DejaVu Math TeX Gyre", false},
          Row{"MS Shell Dlg 2", "DejaVu Serif", false}, Row{"MS Shell Dlg 2", "", false}})
        EXPECT_EQ(DrawnFaceWillDo(row.asked, row.drawn), row.willDo)
            << row.asked << " drawn as " << row.drawn;
}

TEST(SystemFonts, AMissingFamilyBecomesAnOfferedSansFaceAndAnOfferedOneStays) {
    const QStringList offered = QFontDatabase::families();
    ASSERT_FALSE(offered.isEmpty());
    QFont missing(QStringLiteral("No Such Family 7f3a"), 8);
    const QFont picked = WithOfferedFamily(missing);
    EXPECT_TRUE(offered.contains(picked.family())) << picked.family().toStdString();
    EXPECT_FALSE(QFontInfo(picked).fixedPitch());
    EXPECT_EQ(picked.pointSize(), 8);
    // Every family drawn in its own face stays, whatever its style (aliases such as "Serif"
    // are drawn in another face and give way).
    int kept = 0;
    for (const QString& family : offered) {
        if (QFontInfo(QFont(family)).family() != family)
            continue;
        EXPECT_EQ(WithOfferedFamily(QFont(family)).family(), family);
        ++kept;
    }
    EXPECT_GT(kept, 0);
}

} // namespace
} // namespace comsetup::test
