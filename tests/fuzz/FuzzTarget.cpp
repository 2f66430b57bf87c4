// libFuzzer entry: arbitrary bytes as a dump, through the whole pipeline.
#include "tests/fuzz/FuzzPipeline.h"

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // Console lines of the run (traces, the cut of the leaf list) would only
  // slow the fuzzer down; its own reports go to standard error.
  std::cout.rdbuf(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzPipeline::run(std::string_view(reinterpret_cast<const char *>(data), size));
  return 0;
}
