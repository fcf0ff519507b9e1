// libFuzzer target for the image and map files: any image with any map loads;
// saving and loading the saved files gives the same slots again, and the saved
// image holds 512 bytes per map digit.
// Input: a byte of choices, two bytes (little-endian) of map length, the map,
// then the image.
#include "model/Session.h"
#include "ops/ImageFiles.h"
#include "tests/fuzz/FuzzSupport.h"

#include <memory>
#include <vector>

namespace {

using namespace dorvane;

struct Loaded {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    QuietView view;
    OperationContext ctx{*session, state, view};

    explicit Loaded(std::uint8_t choices) {
        state.driverUnusable = false;
        session->settings.chooseHeads(static_cast<HeadChoice>(choices % 3));
        session->settings.chooseSectors((choices >> 2) % kSectorsChoices);
        session->settings.setStepPlus((choices & 32) != 0);
        session->settings.setCyl81((choices & 64) != 0);
    }
    OperationRequest request(const std::string& name) {
        OperationRequest r;
        r.choose(fuzz::scratchFile(name));
        return r;
    }
};

bool sameSlots(Session& a, Session& b) {
    for (int head = 0; head < kSlotCount; ++head)
        for (std::size_t i = 0; i < kRecordsPerSlot; ++i) {
            const SectorRecord& x = a.slot(head)[i];
            const SectorRecord& y = b.slot(head)[i];
            if (x.legend != y.legend || x.data.load() != y.data.load())
                return false;
        }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputParts input;
    if (!fuzz::cutInput(data, size, input))
        return 0;
    const std::uint8_t choices = input.choices;
    fuzz::writeFile(fuzz::scratchFile("in.map"), input.first, input.firstSize);
    fuzz::writeFile(fuzz::scratchFile("in.dsk"), input.rest, input.restSize);

    Loaded first(choices);
    loadImage(first.ctx, first.request("in.dsk"));
    saveImage(first.ctx, first.request("saved.dsk"));
    fuzz::require(fuzz::fileBytes(fuzz::scratchFile("saved.dsk")).size() ==
                      512 * fuzz::fileBytes(fuzz::scratchFile("saved.map")).size(),
                  "the saved image holds 512 bytes per map digit");

    Loaded second(choices);
    loadImage(second.ctx, second.request("saved.dsk"));
    fuzz::require(sameSlots(*first.session, *second.session),
                  "loading what was saved gives the same slots");
    return 0;
}
