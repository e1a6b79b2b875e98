// The check every reader makes before it trusts a record: one row per shape
// of record, whole and damaged.
#include "survey/record_check.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/survey/record_lines.h"

namespace tq {
namespace {

using testing::AsBytes;
using testing::Line;

TEST(RecordCheckTest, WholeRecordsPassAndDamagedOnesFail) {
  // A TQ68-MK2 reading whose binary words hold LF.
  const std::string mk2 = std::string("T\x06\x0A\x0A\x80\x00\x0A\x00\x80\x00\x00\x00\x00\x00", 14) +
                          " " + "    123456" + "\n";
  const struct {
    const char* name;
    std::string record;
    bool whole;
  } rows[] = {
      {"binary reading with LF inside", mk2, true},
      {"binary reading marked 2", "2" + mk2.substr(1), true},
      {"binary reading, tick cut by a letter", mk2.substr(0, 20) + "x" + mk2.substr(21), false},
      {"binary reading, no space before its tick", mk2.substr(0, 14) + "9" + mk2.substr(15),
       false},
      {"binary reading shifted by one byte", mk2.substr(1) + "T", false},
      {"ascii reading", Line("T6-0400+0000        500", 24), true},
      {"ascii reading without a tick", Line("T6-0400+0000", 24), true},
      {"ascii reading, frame bytes of any value", Line("t\x01\xff\x0A" "0400+000 4294967295", 24),
       true},
      {"reading of the wrong length", Line("T6-0400+0000        500", 25), false},
      {"no LF at the end", Line("T6-0400+0000        500", 24).substr(0, 23) + " ", false},
      {"unknown first letter", Line("Q6-0400+0000        500", 24), false},
      {"first byte 1", Line("16-0400+0000        500", 24), false},
      {"header 2", Line("H A          0.200", 24), true},
      {"line name in 8-bit characters", Line("L\xe9t\xe9", 26), true},
      {"line name holding a control byte", Line("L1\x01", 26), false},
      {"date holding LF", Line("Z01\n52024 12:00:00", 24), false},
      {"start station", Line("B       0.00", 24), true},
      {"calibration", Line("O1     1.500      0.000", 26), true},
      {"comment with its tick", Line("Cnote" + std::string(10, ' ') + "       700", 26), true},
      {"comment holding DEL", Line("Cno\x7fte      " " " "       700", 24), false},
      {"run note, tick holding a letter", Line("X$PAUSED     " "      7O0", 24), false},
      {"time mark, short layout", Line("*14:05:09.007      9000", 24), true},
      {"time mark with a negative tick", Line("*14:05:09.007" "  " " -12345678", 26), true},
      {"time mark, tick holding a colon", Line("*14:05:09.007      9:00", 24), false},
      {"gps tick", Line("!" + std::string(14, ' ') + "     31337", 26), true},
      {"gps piece holding control bytes", Line("?$GP\x01\x02\x1b,4807.038,N", 24), true},
      {"gps piece holding LF", Line("#$GP\n,4807.038,N", 24), false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(IsWholeRecord(AsBytes(row.record)), row.whole) << row.name;
  }
}

}  // namespace
}  // namespace tq
