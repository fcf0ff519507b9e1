// libFuzzer target for the read record: any text either parses or fails with
// "line N: ..."; a record that parses writes a text that parses again to the
// same geometry, fingerprint and sectors.
#include "files/ReadRecord.h"
#include "tests/fuzz/FuzzSupport.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dorvane;
    const std::string text(reinterpret_cast<const char*>(data), size);
    ReadRecord record;
    std::string error;
    if (!parseRecord(text, record, error)) {
        fuzz::require(error.rfind("line ", 0) == 0 || error == "empty", "the error names its line");
        return 0;
    }
    fuzz::require(record.sectors.size() == record.geometry.sectorCount(), "a sector per place");
    ReadRecord again;
    fuzz::require(parseRecord(recordText(record), again, error), "its text parses");
    fuzz::require(again.geometry == record.geometry, "the same geometry");
    fuzz::require(again.fingerprint == record.fingerprint, "the same fingerprint");
    for (std::size_t i = 0; i < record.sectors.size(); ++i)
        if (record.sectors[i].attempts > 0) {
            fuzz::require(again.sectors[i].dataRead == record.sectors[i].dataRead &&
                              again.sectors[i].lastError == record.sectors[i].lastError,
                          "the same sectors");
        }
    return 0;
}
