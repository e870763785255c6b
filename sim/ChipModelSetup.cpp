#include "ChipModelSetup.h"
#include <cstdlib>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef FERNBOW_SIM_BUILD_DIR
#define FERNBOW_SIM_BUILD_DIR ""
#endif
#ifndef FERNBOW_CHIPMODEL_BUILD_PLUGIN
#define FERNBOW_CHIPMODEL_BUILD_PLUGIN ""
#endif
#ifndef FERNBOW_FIRMWARE_BUILD_DIR
#define FERNBOW_FIRMWARE_BUILD_DIR ""
#endif

namespace {
bool IsFile(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ProgramDir()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    std::string path(buffer, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

// true when this program is the one built in the build tree: only that one
// takes the chip model's parts from there, never an installed copy.
bool RunsFromBuildTree()
{
    struct stat here, built;
    const std::string dir = ProgramDir();
    return !dir.empty() && ::stat(dir.c_str(), &here) == 0 && ::stat(FERNBOW_SIM_BUILD_DIR, &built) == 0 &&
           here.st_dev == built.st_dev && here.st_ino == built.st_ino;
}

// Installed beside the program first, then the build tree it came from.
std::string Locate(const std::string& installed, const std::string& built)
{
    const std::string dir = ProgramDir();
    if (!dir.empty() && IsFile(dir + "/../" + installed)) return dir + "/../" + installed;
    if (RunsFromBuildTree() && IsFile(built)) return built;
    return "";
}

// What to do about a part that is missing: an installed program cannot be
// built again.
std::string MissingPart(const std::string& what, const std::string& installed, const std::string& toBuild,
                        const std::string& option)
{
    if (RunsFromBuildTree()) return what + " was not built: " + toBuild + " and build again, or name it with " + option;
    return what + " is not installed (" + ProgramDir() + "/../" + installed +
           "): reinstall the fernbow package, or name it with " + option;
}

// gpsim runs its script from the script's folder: a path the user gave
// relative to here must not be read there.
std::string Absolute(const std::string& path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

std::string ChipSuffix(const ChipInfo& chip) { return chip.isF819 ? "16f819" : "16f88"; }

std::string FindGpsim(std::string& missing)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/gpsim";
        if (IsFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    missing = "the chip model needs gpsim, which is not installed (Debian: apt-get install gpsim)";
    return "";
}

std::string FindPlugin(const std::string& given, std::string& missing)
{
    if (!given.empty()) {
        if (IsFile(given)) return Absolute(given);
        missing = given + ": no such plug-in";
        return "";
    }
    const std::string installed = "lib/fernbow/gpsim/fernbow-chipmodel.so";
    const std::string found = Locate(installed, FERNBOW_CHIPMODEL_BUILD_PLUGIN);
    if (found.empty())
        missing = MissingPart("the chip model's gpsim plug-in", installed, "install gpsim-dev (Debian)", "--plugin");
    return found;
}

std::string FindFirmware(const ChipInfo& chip, const std::string& given, std::string& missing)
{
    if (!given.empty()) {
        if (IsFile(given)) return Absolute(given);
        missing = given + ": no such firmware file";
        return "";
    }
    const std::string name = "fernbow-boot-" + ChipSuffix(chip) + ".hex";
    const std::string built = std::string(FERNBOW_FIRMWARE_BUILD_DIR).empty()
                                  ? std::string()
                                  : std::string(FERNBOW_FIRMWARE_BUILD_DIR) + "/" + name;
    const std::string installed = "share/fernbow/firmware/" + name;
    const std::string found = Locate(installed, built);
    if (found.empty())
        missing = MissingPart(std::string("the bootloader firmware for the ") + chip.name, installed,
                              "install gputils (Debian)", "--firmware");
    return found;
}

}  // namespace

std::string GpsimProcessor(const ChipInfo& chip) { return "p" + ChipSuffix(chip); }

bool FindChipModelParts(const ChipModelOptions& o, ChipModelParts& parts, std::string& missing)
{
    parts.gpsim = FindGpsim(missing);
    if (!parts.gpsim.empty()) parts.plugin = FindPlugin(o.plugin, missing);
    if (!parts.plugin.empty()) parts.firmware = FindFirmware(*o.chip, o.firmware, missing);
    return !parts.firmware.empty();
}

std::string ChipModelScript(const ChipModelOptions& o, const ChipModelParts& parts, int lineFd, int rateFd,
                            int eventFd, const std::string& dumpPath)
{
    std::string s;
    s += "module library " + parts.plugin + "\n";
    s += "module load fernbow_flash flash\n";
    s += "flash.eeprom_from = \"" + parts.firmware + "\"\n";
    s += "module load fernbow_uart uart\n";
    s += "node rx\nattach rx portb2 uart.out\n";
    s += "node tx\nattach tx portb5 uart.in\n";
    // Not "mclr": that name is the plug-in pin's own, and gpsim refuses the node.
    s += "node reset_line\nattach reset_line uart.mclr MCLR\n";
    // gpsim's PIC16F819 does not follow OSCCON; the firmware runs it at 8 MHz.
    if (o.chip->isF819) s += "frequency 8000000\n";
    s += "uart.fd = " + std::to_string(lineFd) + "\n";
    s += "uart.ratefd = " + std::to_string(rateFd) + "\n";
    s += "flash.events = " + std::to_string(eventFd) + "\n";
    if (o.corruptByte) s += "uart.corrupt = " + std::to_string(o.corruptByte) + "\n";
    if (o.dropByte) s += "uart.drop = " + std::to_string(o.dropByte) + "\n";
    if (o.dropFastByte) s += "uart.dropfast = " + std::to_string(o.dropFastByte) + "\n";
    if (o.unpaced) s += "uart.realtime = 0\n";

    s += "run\n";
    if (!dumpPath.empty()) s += "flash.dump = \"" + dumpPath + "\"\n";
    s += "quit\n";
    return s;
}
