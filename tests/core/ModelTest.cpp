#include "model/DiskSettings.h"
#include "model/Image.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "model/Text.h"

#include <gtest/gtest.h>

#include <memory>

namespace dorvane {
namespace {

TEST(DiskSettings, DefaultsAreAnRx50Side) {
    DiskSettings s;
    s.recomputeGeometry();
    EXPECT_EQ(s.dataRate, 1);
    EXPECT_EQ(s.sectorsChoice, 2);
    EXPECT_EQ(s.sectorsPerTrack, 10);
    EXPECT_EQ(s.tracks, 80);
    EXPECT_EQ(s.sectorsPerSide, 800);
    EXPECT_EQ(s.bytesPerTrack, 5120);
    EXPECT_EQ(s.gapLength(), 16);
    EXPECT_EQ(s.devicePath, "\\\\.\\fdraw0");
    EXPECT_EQ(s.retries, 9);
    EXPECT_EQ(s.fillerByte, 0xFF);
    EXPECT_EQ(s.progressTotal(), 800);
}

TEST(DiskSettings, Cyl81AndStepPlusCombineInAnyOrder) {
    DiskSettings s;
    s.setStepPlus(true);
    s.setCyl81(true);
    EXPECT_EQ(s.tracks, 41);
    EXPECT_TRUE(s.doubleStep);
    s.setStepPlus(false);
    EXPECT_EQ(s.tracks, 81);
    s.setCyl81(false);
    EXPECT_EQ(s.tracks, 80);

    DiskSettings t;
    t.setCyl81(true);
    t.setStepPlus(true);
    EXPECT_EQ(t.tracks, 41);
    EXPECT_EQ(t.sectorsPerSide, 410);
    t.setCyl81(false);
    t.setStepPlus(false);
    EXPECT_EQ(t.tracks, 80);
    // Selecting an already selected box does not count twice.
    t.setCyl81(true);
    t.setCyl81(true);
    EXPECT_EQ(t.tracks, 81);
}

TEST(DiskSettings, SectorsChoiceCyclesAndDerivesSizes) {
    DiskSettings s;
    const int expected[] = {15, 18, 8, 9, 10};
    for (int spt : expected) {
        s.nextSectorsChoice();
        EXPECT_EQ(s.sectorsPerTrack, spt);
        EXPECT_EQ(s.bytesPerTrack, spt * 512);
        EXPECT_EQ(s.sectorsPerSide, spt * 80);
        EXPECT_STREQ(sectorsChoiceLabel(s.sectorsChoice),
                     (std::to_string(spt) + " sectors").c_str());
    }
}

TEST(DiskSettings, HeadChoiceSetsRangeAndSides) {
    DiskSettings s;
    s.chooseHeads(Head1);
    EXPECT_EQ(s.firstHead, 1);
    EXPECT_EQ(s.lastHead, 1);
    EXPECT_EQ(s.sideCount, 1);
    s.chooseHeads(BothHeads);
    EXPECT_EQ(s.firstHead, 0);
    EXPECT_EQ(s.lastHead, 1);
    EXPECT_EQ(s.progressTotal(), 1600);
    s.chooseDrive(1);
    EXPECT_EQ(s.devicePath, "\\\\.\\fdraw1");
}

TEST(ImageSlots, AddressingFollowsTheLayout) {
    auto session = std::make_unique<Session>();
    session->settings.chooseSectors(4);
    session->settings.setCyl81(true);
    SectorRecord& last = session->record(0, 80, 17);
    EXPECT_EQ(&last, &session->slots[0][1457]);

    // Track 1 sector 1 under 9 sectors is what track 0 sector 10 was under 10.
    session->settings.chooseSectors(2);
    SectorRecord& t0s10 = session->record(0, 0, 9);
    session->settings.chooseSectors(1);
    EXPECT_EQ(&session->record(0, 1, 0), &t0s10);
    EXPECT_EQ(&session->record(0, 1, 0), &session->slots[0][9]);
}

TEST(ImageSlots, ClearSlotLeavesTheOtherSlot) {
    auto session = std::make_unique<Session>();
    fillSector(session->slots[0][5], 0xAA);
    setLegend(session->slots[0][5], 17);
    fillSector(session->slots[1][1457], 0x55);
    setLegend(session->slots[1][1457], Bad);
    clearSlot(session->slots[0]);
    EXPECT_EQ(session->slots[0][5].data[511], 0);
    EXPECT_EQ(session->slots[0][5].legend, Empty);
    EXPECT_EQ(session->slots[1][1457].data[0], 0x55);
    EXPECT_EQ(session->slots[1][1457].legend, Bad);
}

TEST(ImageSlots, LegendTexts) {
    EXPECT_STREQ(legendText(Good), "good read/write well (green)");
    EXPECT_STREQ(legendText(NotFound), "not found read/write warning (brown)");
    EXPECT_STREQ(legendText(17), "unknown sector state");
    EXPECT_STREQ(legendText(-4), "unknown sector state");
}

TEST(Paths, BaseOfAPath) {
    EXPECT_EQ(basePathOf("C:\\disks\\pro.system.dsk"), "C:\\disks\\pro.system");
    EXPECT_EQ(basePathOf("C:\\disk.s\\image"), "C:\\disk.s\\image");
    EXPECT_EQ(basePathOf("/home/u/rx.50/disk"), "/home/u/rx.50/disk");
    EXPECT_EQ(basePathOf("/home/u/rx.50/disk.dz"), "/home/u/rx.50/disk");
    EXPECT_EQ(basePathOf("disk."), "disk");
    EXPECT_EQ(basePathOf("plain"), "plain");
    EXPECT_EQ(imageNameOf("C:\\disks\\pro.dsk"), "pro");
    EXPECT_EQ(imageNameOf("/tmp/a.b/c.d.e"), "c.d");
    EXPECT_EQ(imageNameOf("C:\\x.y\\noext"), "noext");
}

TEST(Paths, OperationRequestTakesPathAndBase) {
    OperationRequest request;
    request.choose("C:\\disks\\pro.dsk");
    EXPECT_EQ(request.basePath, "C:\\disks\\pro");
}

TEST(Text, FitsTheBuffer) {
    const std::string longPath(400, 'x');
    const std::string shown = formatText("Reading the whole media to: %s", longPath.c_str());
    EXPECT_EQ(shown.size(), 259u);
    EXPECT_EQ(shown.rfind("Reading the whole media to: xxx", 0), 0u);

    // Cut on a character boundary: 'ж' is two bytes of UTF-8 but one UTF-16 unit.
    std::string cyrillic;
    for (int i = 0; i < 300; ++i)
        cyrillic += "\xD0\xB6";
    const std::string cut = formatText("%s", cyrillic.c_str());
    EXPECT_EQ(utf16Length(cut), 259u);
    EXPECT_EQ(cut.size(), 518u);

    std::string name;
    EXPECT_FALSE(formatName(name, "%s.log", longPath.c_str()));
    EXPECT_TRUE(name.empty());
    EXPECT_TRUE(formatName(name, "%s_Head%i.dsk", "disk", 1));
    EXPECT_EQ(name, "disk_Head1.dsk");
}

} // namespace
} // namespace dorvane
