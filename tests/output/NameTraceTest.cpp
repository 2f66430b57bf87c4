// Which name reads are traced: those of names that hold "RtePortSR"
// anywhere, with the number of children of the object.
#include "output/NameTrace.h"

#include "model/Model.h"
#include "tests/output/OutputTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Model;

namespace {

TEST(NameTrace, OnlyNamesHoldingTheMarkerAreReportedWithTheirChildren) {
  struct Case {
    const char *name;
    int children;
    std::vector<std::string> heard;
  };
  const Case cases[] = {
      {"Rte_RtePortSR_Speed", 3, {"Rte_RtePortSR_Speed / 3"}},
      {"RtePortSR", 0, {"RtePortSR / 0"}},
      {"xRtePortSRx", 1, {"xRtePortSRx / 1"}},
      {"counter", 2, {}},
      {"Rte_RtePortS_Speed", 0, {}},
      {"Rte_rteportsr_Speed", 0, {}},
      {"", 0, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    BasicObject root(0, nullptr);
    auto *object = new VariableInfo(1, &root);
    object->name = c.name;
    for (int i = 0; i < c.children; ++i)
      new BasicObject(static_cast<EntryOffset>(2 + i), object);
    OutputTest::HeardReads heard;
    EXPECT_EQ(tracedName(*object, heard.trace()), c.name);
    EXPECT_EQ(heard.reads, c.heard);
    EXPECT_EQ(tracedName(*object, {}), c.name); // no trace, nothing to tell
  }
}

} // namespace
