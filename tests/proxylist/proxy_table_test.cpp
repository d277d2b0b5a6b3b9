#include "proxylist/proxy_table.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace pv::proxylist {
namespace {

TEST(ProxyTableTest, AppendedRowsAreNumberedWithPlaceholders) {
    ProxyTable table;
    EXPECT_EQ(table.AppendProxyRow("1.2.3.4", "80"), 0);
    EXPECT_EQ(table.AppendProxyRow("5.6.7.8", "3128"), 1);
    EXPECT_EQ(table.RowCount(), 2);
    const std::optional<ProxyRow> row = table.ReadRow(1);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->number, "2");
    EXPECT_EQ(row->host, "5.6.7.8");
    EXPECT_EQ(row->port, "3128");
    EXPECT_EQ(row->delay, "**");
    EXPECT_EQ(row->status, "-");
    EXPECT_EQ(row->stateImage, kNotVerified);
    EXPECT_EQ(table.GetCellText(0, kNumberColumn), "1");
    EXPECT_EQ(table.GetCellText(0, kHostColumn), "1.2.3.4");
}

TEST(ProxyTableTest, CellsThatDoNotExistReadEmptyAndIgnoreWrites) {
    ProxyTable table;
    table.AppendProxyRow("1.2.3.4", "80");
    for (const int row : {-1, 1, 1000000}) {
        EXPECT_EQ(table.GetCellText(row, kHostColumn), "") << row;
        table.SetCellText(row, kHostColumn, "x");
        table.SetStateImage(row, kValid);
        table.SetResult(row, "1", "x", kValid);
        table.EnsureVisible(row);
    }
    for (const int column : {-1, int{kColumnCount}}) {
        EXPECT_EQ(table.GetCellText(0, column), "") << column;
        table.SetCellText(0, column, "x");
    }
    EXPECT_FALSE(table.ReadRow(1));
    EXPECT_EQ(table.GetStateImage(1), kNoImage);
    const std::optional<ProxyRow> row = table.ReadRow(0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->delay, "**");
    EXPECT_EQ(row->stateImage, kNotVerified);
    EXPECT_EQ(table.RowCount(), 1);
}

TEST(ProxyTableTest, CellWritesReplaceEveryColumn) {
    ProxyTable table;
    EXPECT_EQ(table.InsertRow(kSlowValid), 0);
    for (int column = 0; column < kColumnCount; ++column) {
        EXPECT_EQ(table.GetCellText(0, column), "");
    }
    EXPECT_EQ(table.GetStateImage(0), kSlowValid);

    const std::string longText(1000, 'x'); // longer than any inline storage
    table.SetCellText(0, kNumberColumn, "1");
    table.SetCellText(0, kHostColumn, "host");
    table.SetCellText(0, kPortColumn, "8080");
    table.SetCellText(0, kDelayColumn, longText);
    table.SetCellText(0, kStatusColumn, "\xD1\xE9\xD6\xA4\xB3\xC9\xB9\xA6");
    table.SetCellText(0, kHostColumn, "other-host"); // the port stays
    EXPECT_EQ(table.GetCellText(0, kNumberColumn), "1");
    EXPECT_EQ(table.GetCellText(0, kHostColumn), "other-host");
    EXPECT_EQ(table.GetCellText(0, kPortColumn), "8080");
    EXPECT_EQ(table.GetCellText(0, kDelayColumn), longText);
    EXPECT_EQ(table.GetCellText(0, kStatusColumn), "\xD1\xE9\xD6\xA4\xB3\xC9\xB9\xA6");
    table.SetCellText(0, kNumberColumn, "seven");
    EXPECT_EQ(table.GetCellText(0, kNumberColumn), "seven");
    table.SetCellText(0, kDelayColumn, "12");
    EXPECT_EQ(table.GetCellText(0, kDelayColumn), "12");

    table.SetStateImage(0, 7); // no such image
    EXPECT_EQ(table.GetStateImage(0), kSlowValid);
    table.SetStateImage(0, kNoImage);
    EXPECT_EQ(table.GetStateImage(0), kNoImage);
}

TEST(ProxyTableTest, TellsItsViewOfChangesInBatches) {
    ProxyTable table;
    int notified = 0;
    table.SetChangeListener([&] { ++notified; });
    table.AppendProxyRow("a", "1");
    table.AppendProxyRow("b", "2");
    EXPECT_EQ(notified, 1) << "one notification until the view takes the changes";

    TableChanges changes = table.TakeChanges();
    EXPECT_EQ(changes.rowCount, 2);
    EXPECT_EQ(changes.firstNewRow, 0);
    EXPECT_GT(changes.firstChangedRow, changes.lastChangedRow);

    table.SetResult(1, "350", "ok", kValid);
    table.SetStateImage(0, kInvalid);
    table.AppendProxyRow("c", "3");
    table.EnsureVisible(2);
    table.EnsureVisible(5); // past the end: nothing
    EXPECT_EQ(notified, 2);
    changes = table.TakeChanges();
    EXPECT_EQ(changes.rowCount, 3);
    EXPECT_EQ(changes.firstNewRow, 2);
    EXPECT_EQ(changes.firstChangedRow, 0);
    EXPECT_EQ(changes.lastChangedRow, 1);
    EXPECT_EQ(changes.ensureVisibleRow, 2);

    changes = table.TakeChanges();
    EXPECT_EQ(changes.firstNewRow, 3);
    EXPECT_GT(changes.firstChangedRow, changes.lastChangedRow);
    EXPECT_FALSE(changes.ensureVisibleRow);
}

TEST(ProxyTableTest, ConcurrentWritersNeverTearARow) {
    ProxyTable table;
    constexpr int kRows = 64;
    constexpr int kWriters = 4;
    for (int i = 0; i < kRows; ++i) {
        table.AppendProxyRow("10.0.0." + std::to_string(i), "80");
    }
    // Each write puts one mark into both texts; a reader that sees two marks saw half of one
    // write and half of another.
    std::atomic<int> writersLeft{kWriters};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            for (int round = 0; round < 5000; ++round) {
                const std::string mark = std::to_string(w * 100000 + round);
                table.SetResult((round * 7 + w) % kRows, "d" + mark, "s" + mark, round % 3 + 1);
            }
            --writersLeft;
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < 2000; ++i) {
            table.AppendProxyRow("late", std::to_string(i));
        }
    });
    int torn = 0;
    do {
        for (int row = 0; row < kRows; ++row) {
            const std::optional<ProxyRow> r = table.ReadRow(row);
            ASSERT_TRUE(r);
            if (r->delay != "**" && r->delay.substr(1) != r->status.substr(1)) {
                ++torn;
            }
        }
    } while (writersLeft.load() > 0);
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(table.RowCount(), kRows + 2000);
}

} // namespace
} // namespace pv::proxylist
