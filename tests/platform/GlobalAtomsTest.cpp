#include "platform/GlobalAtoms.h"

#include <gtest/gtest.h>
#include <set>

TEST(GlobalAtoms, SameNameSameValueUntilEveryAddIsRemoved) {
    GlobalAtoms atoms;
    const auto play = atoms.add("MyHotKey_play");
    const auto softer = atoms.add("MyHotKey_leiser");
    EXPECT_GE(play, GlobalAtoms::firstAtom);
    EXPECT_GE(softer, GlobalAtoms::firstAtom);
    EXPECT_NE(play, softer);
    EXPECT_EQ(atoms.add("myhotkey_PLAY"), play); // names ignore case, as the desktop's atoms do
    EXPECT_EQ(atoms.name(play), "MyHotKey_play");

    EXPECT_TRUE(atoms.remove(play));
    EXPECT_EQ(atoms.name(play), "MyHotKey_play"); // one reference left
    EXPECT_TRUE(atoms.remove(play));
    EXPECT_EQ(atoms.name(play), "");
    EXPECT_FALSE(atoms.remove(play));
    EXPECT_EQ(atoms.name(softer), "MyHotKey_leiser");

    // A freed value is taken again, and the name it had no longer leads to it.
    EXPECT_EQ(atoms.add("MyHotKey_lauter"), play);
    EXPECT_EQ(atoms.name(play), "MyHotKey_lauter");
}

TEST(GlobalAtoms, RefusedNamesAndValues) {
    GlobalAtoms atoms;
    EXPECT_EQ(atoms.add(""), 0);
    EXPECT_EQ(atoms.add(QString(256, 'x')), 0);
    EXPECT_NE(atoms.add(QString(255, 'x')), 0);
    EXPECT_FALSE(atoms.remove(0));
    EXPECT_FALSE(atoms.remove(0xBFFF));
    EXPECT_FALSE(atoms.remove(0xFFFF));
}

TEST(GlobalAtoms, FullTableRefusesTheNextName) {
    GlobalAtoms atoms;
    std::set<unsigned> seen;
    for (int i = 0; i < 0x4000; ++i) {
        const auto atom = atoms.add(QString::number(i));
        ASSERT_NE(atom, 0) << i;
        seen.insert(atom);
    }
    EXPECT_EQ(seen.size(), 0x4000u);
    EXPECT_EQ(*seen.rbegin(), 0xFFFFu);
    EXPECT_EQ(atoms.add("one too many"), 0);
    EXPECT_EQ(atoms.add("17"), 0xC000 + 17); // existing names still count up
    EXPECT_TRUE(atoms.remove(0xFFFF));
    EXPECT_EQ(atoms.add("one too many"), 0xFFFF);
}
