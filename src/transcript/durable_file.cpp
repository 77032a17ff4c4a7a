#include "transcript/durable_file.h"

#include <cstdio>
#include <string>
#include <system_error>

namespace DurableFile {

std::filesystem::path finalTarget(const std::filesystem::path &path)
{
    std::filesystem::path target = path;
    std::error_code error;
    // As many links as the system itself follows before it gives up on a loop.
    for (int links = 0; links < 40 && std::filesystem::is_symlink(target, error); ++links) {
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error || next.empty())
            break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

std::filesystem::path besides(const std::filesystem::path &target, unsigned long process, unsigned attempt)
{
    std::filesystem::path name = target;
    name.replace_filename(std::filesystem::path(".") += target.filename());
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%lu-%u", process, attempt);
    name += suffix;
    return name;
}

unsigned long leftoverProcess(const std::filesystem::path &target, const std::filesystem::path &name)
{
    // "." + the file's name + "." + the process + "-" + a count, digits only,
    // compared in the system's own characters.
    using Text = std::filesystem::path::string_type;
    Text prefix(1, '.');
    prefix += target.filename().native();
    prefix += '.';
    const Text given = name.filename().native();
    if (given.size() <= prefix.size() || given.compare(0, prefix.size(), prefix) != 0)
        return 0;
    unsigned long process = 0;
    size_t at = prefix.size();
    bool digits = false;
    for (; at < given.size() && given[at] >= '0' && given[at] <= '9'; ++at, digits = true) {
        if (process > 0xFFFFFFFFUL / 10)
            return 0;
        process = process * 10 + unsigned(given[at] - '0');
    }
    if (!digits || at >= given.size() || given[at] != '-' || ++at >= given.size())
        return 0;
    for (; at < given.size(); ++at) {
        if (given[at] < '0' || given[at] > '9')
            return 0;
    }
    return process;
}

void removeLeftovers(const std::filesystem::path &path)
{
    const std::filesystem::path target = finalTarget(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const unsigned long process = leftoverProcess(target, entry->path());
        // This process saves one file at a time, and none is under way now.
        if (process == 0 || (process != thisProcess() && !processGone(process)))
            continue;
        std::error_code ignored;
        if (std::filesystem::symlink_status(entry->path(), ignored).type() == std::filesystem::file_type::regular)
            std::filesystem::remove(entry->path(), ignored);
    }
}

} // namespace DurableFile
