// The tables every backend keeps: handles that are never 0 and never reused while open, and
// the listing asked about by index and by serial number.
#include "link/backend_tables.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qeltx::link {
namespace {

struct Entry {
    std::string serial;
    std::string description;
};

TEST(BackendTables, ListingByIndexAndBySerial) {
    std::vector<Entry> listed = {{"A1", "first"}, {"B2", "second"}, {"A1", "again"}};
    std::string out = "untouched";
    EXPECT_EQ(listedText(listed, 1, &Entry::serial, out), core::FT_OK);
    EXPECT_EQ(out, "B2");
    EXPECT_EQ(listedText(listed, 2, &Entry::description, out), core::FT_OK);
    EXPECT_EQ(out, "again");
    out = "untouched";
    // Read at run time: GCC otherwise warns about the read the guard skips.
    volatile std::uint32_t pastTheEnd = 3;
    EXPECT_EQ(listedText(listed, pastTheEnd, &Entry::serial, out), core::FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(listedText(std::vector<Entry>{}, 0, &Entry::serial, out), core::FT_DEVICE_NOT_FOUND);

    // The first entry of a serial number, found for changing as well as for reading.
    Entry* first = listedBySerial(listed, "A1");
    ASSERT_EQ(first, &listed[0]);
    first->description = "changed";
    const std::vector<Entry>& view = listed;
    EXPECT_EQ(listedBySerial(view, "A1")->description, "changed");
    EXPECT_EQ(listedBySerial(view, "C3"), nullptr);
}

TEST(BackendTables, HandlesAreNeverZeroAndForgottenWhenClosed) {
    HandleTable<std::unique_ptr<int>> table;
    const FtHandle one = table.add(std::make_unique<int>(1));
    const FtHandle two = table.add(std::make_unique<int>(2));
    EXPECT_NE(one, 0u);
    EXPECT_NE(one, two);
    ASSERT_NE(table.object(two), nullptr);
    EXPECT_EQ(*table.object(two), 2);
    table.erase(one);
    EXPECT_EQ(table.find(one), nullptr);
    EXPECT_EQ(table.object(one), nullptr);
    EXPECT_EQ(table.object(0), nullptr);
    EXPECT_EQ(table.handles(), std::vector<FtHandle>{two});
    // A handle given out again is a new number, so a stale one never reaches a new device.
    EXPECT_NE(table.add(std::make_unique<int>(3)), one);
}

}  // namespace
}  // namespace qeltx::link
