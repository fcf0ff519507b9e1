// The fault script of the virtual drive: a small text file that makes sectors
// of a diskette bad, slow or missing, so that a read shows retries, warnings
// and CRC dumps without bad hardware.
//
// One fault per line; '#' starts a comment; blank lines are ignored. Numbers are
// decimal. Cylinders are physical (where the head is), heads 0 or 1, sector
// numbers as recorded in the ID field. Each fault answers as the controller
// and the driver do:
//
//   crc H C R               every read fails with 23 (data CRC); the damaged bytes
//                           reach the buffer, different ones from read to read
//   crc-then-ok H C R N     the next N reads fail so, then it reads
//   fail-then-ok H C R N E  the next N reads end with the controller status that the
//                           driver answers with E: 23, 27, 1117, 1122, 1123 or 19;
//                           any other E: bits the driver does not know (1124)
//   missing H C R           the ID is gone from the track: reads end with 27
//   no-data H C R           the ID is there but no data mark follows: 27
//   id-crc H C R            the ID field has a CRC error: reads stop there with 23
//   deleted H C R           the data field carries the deleted mark: a read ends
//                           there with success (or skips it, with SK set)
//   weak H C R              writes take, but every read after one fails with 23
//   rpm N                   the drive turns at N revolutions per minute for this diskette
//   seek-fail C N           the next N seeks to cylinder C mis-step (N = -1: every
//                           seek): the head lands on the next cylinder, so every
//                           read of cylinder C there ends with 27; the seek itself
//                           succeeds, as a real one always does
//   no-diskette             the drive is empty (1112)
//   write-protect           the diskette is write-protected (19)
//
// A line naming a sector that the diskette does not have is an error, so that
// a script cannot silently miss its target; so is a second line of the same
// fault on the same place (which of the two was meant?). A UTF-8 byte-order
// mark before the first line (an editor's) is skipped. A script applies whole or not at
// all: one bad line, and the diskette stays as it was.
#include "vdrive/VirtualDiskette.h"

#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

namespace dorvane {

namespace {

bool parseNumber(const std::string& word, long low, long high, int& value) {
    if (word.empty())
        return false;
    char* end = nullptr;
    const long parsed = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

} // namespace

bool VirtualDiskette::applyFaultScript(const std::string& text, std::string& error) {
    VirtualDiskette faulty = *this;
    if (!faulty.applyFaultLines(text, error))
        return false;
    *this = std::move(faulty);
    return true;
}

namespace {

// The fault a line names and where: "crc 0 1 3", "seek-fail 5", "rpm", with
// the numbers as parsed (so "crc 0 01 3" is the same fault).
std::string faultKey(const std::vector<std::string>& words) {
    std::size_t places = words[0] == "seek-fail" ? 1 : words.size() >= 4 ? 3 : 0;
    if (words[0] == "rpm" || words[0] == "no-diskette" || words[0] == "write-protect")
        places = 0;
    std::string key = words[0];
    for (std::size_t i = 1; i <= places && i < words.size(); ++i) {
        key += ' ';
        key += std::to_string(std::strtol(words[i].c_str(), nullptr, 10));
    }
    return key;
}

} // namespace

bool VirtualDiskette::applyFaultLines(const std::string& script, std::string& error) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string text = script.rfind(bom, 0) == 0 ? script.substr(bom.size()) : script;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    std::map<std::string, int> seen; // each fault's line
    while (std::getline(lines, line)) {
        ++lineNumber;
        const auto hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream wordStream(line);
        std::vector<std::string> words;
        for (std::string word; wordStream >> word;)
            words.push_back(word);
        if (words.empty())
            continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        const std::string& verb = words[0];
        const std::size_t args = words.size() - 1;
        if (const auto [at, added] = seen.emplace(faultKey(words), lineNumber); !added) {
            error = where + "'" + at->first + "' again: line " + std::to_string(at->second) +
                    " names it already";
            return false;
        }

        if (verb == "no-diskette" || verb == "write-protect") {
            if (args != 0) {
                error = where + verb + " takes no numbers";
                return false;
            }
            if (verb == "no-diskette")
                present = false;
            else
                writeProtected = true;
            continue;
        }
        if (verb == "rpm") {
            int speed = 0;
            if (args != 1 || !parseNumber(words[1], 100, 1000, speed)) {
                error = where + "expected: rpm SPEED (100..1000)";
                return false;
            }
            rpm = speed;
            continue;
        }
        if (verb == "seek-fail") {
            int cylinder = 0, count = 0;
            if (args != 2 || !parseNumber(words[1], 0, kCylinders - 1, cylinder) ||
                !parseNumber(words[2], -1, 1000000, count)) {
                error = where + "expected: seek-fail CYLINDER COUNT";
                return false;
            }
            seekFailures[cylinder] = count;
            continue;
        }

        std::size_t wanted;
        if (verb == "crc" || verb == "missing" || verb == "no-data" || verb == "deleted" ||
            verb == "weak" || verb == "id-crc")
            wanted = 3;
        else if (verb == "crc-then-ok")
            wanted = 4;
        else if (verb == "fail-then-ok")
            wanted = 5;
        else {
            error = where + "unknown fault '" + verb + "'";
            return false;
        }
        int head = 0, cylinder = 0, sector = 0, count = 0, code = 0;
        if (args != wanted || !parseNumber(words[1], 0, kHeads - 1, head) ||
            !parseNumber(words[2], 0, kCylinders - 1, cylinder) ||
            !parseNumber(words[3], 0, 255, sector) ||
            (wanted >= 4 && !parseNumber(words[4], 0, 1000000, count)) ||
            (wanted == 5 && !parseNumber(words[5], 1, 0xFFFF, code))) {
            error = where + "expected: " + verb + " HEAD CYLINDER SECTOR" +
                    (wanted >= 4 ? " COUNT" : "") + (wanted == 5 ? " ERROR" : "");
            return false;
        }
        VirtualSector* target = findSector(cylinder, head, sector);
        if (!target) {
            error = where + "no sector " + std::to_string(sector) + " on cylinder " +
                    std::to_string(cylinder) + " head " + std::to_string(head);
            return false;
        }
        if (verb == "crc") {
            target->permanentCrc = true;
        } else if (verb == "crc-then-ok") {
            target->failuresLeft = count;
            target->failError = kErrorCrc;
        } else if (verb == "fail-then-ok") {
            target->failuresLeft = count;
            target->failError = static_cast<std::uint32_t>(code);
        } else if (verb == "no-data") {
            target->noData = true;
        } else if (verb == "id-crc") {
            target->idCrc = true;
        } else if (verb == "deleted") {
            target->deleted = true;
        } else if (verb == "weak") {
            target->weak = true;
        } else { // missing
            auto& sectors = track(cylinder, head).sectors;
            sectors.erase(sectors.begin() + (target - sectors.data()));
        }
    }
    return true;
}

} // namespace dorvane
