// The configuration loader on any buffer, with automatic encoding detection as the
// program loads its own table (and again with single quotes when the text has one).
// A load succeeds exactly when no error is recorded, and a failed one records one of
// the loader's codes with its message.
#include <set>

#include "cli/cli_api.h"
#include "cli/runtime_registry.h"
#include "fuzz_support.h"

namespace {

const std::set<int64_t> kLoaderCodes = {1,  5,  6,  10, 20, 21, 22, 23, 24, 25, 26,
                                        27, 28, 29, 32, 41, 42, 47, 70, 71, 72};

void Load(const uint8_t* data, size_t size, bool single_quotes) {
  const bool loaded = brasswick::CliInitFromBuffer(
      data, static_cast<int64_t>(size), brasswick::CliEncoding::kAutomatic, single_quotes);
  const brasswick::CliError& error = brasswick::GetCliError();
  FUZZ_CHECK(loaded == (error.code == 0));
  if (!loaded) {
    FUZZ_CHECK(kLoaderCodes.count(error.code) == 1);
    FUZZ_CHECK(!error.message.empty());
    if (error.code == 10) FUZZ_CHECK(error.message.rfind("JSON syntax error\nLine ", 0) == 0);
  }
  brasswick::CliReset();
}

}  // namespace

// A few names of each kind, so that configurations naming them load further.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  brasswick::RuntimeRegistry& registry = brasswick::GlobalRuntimeRegistry();
  registry.RegisterProcedure("VersionRT()", [] { return 0; });
  registry.RegisterProcedure("ExportMapRT()", [] { return 0; });
  registry.RegisterFormatter("Trim()", [](const std::string& value) { return value; });
  registry.RegisterAccumulator("Collect()", [](const std::string&, bool, bool) {});
  registry.RegisterConstant("#SW_Version", "1.1");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Load(data, size, false);
  if (brasswick::fuzz::AsText(data, size).find('\'') != std::string_view::npos) {
    Load(data, size, true);
  }
  return 0;
}
