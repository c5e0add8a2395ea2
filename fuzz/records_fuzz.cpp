// The records reader (records.ini): any text must give records within the readout's range or
// one fault, never a crash; and records it accepts must come back the same through a save and
// a second read.
#include <cstdlib>

#include "fuzz_support.hpp"
#include "records/records_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grappix::RecordTable table;
    const std::string fault =
        grappix::ParseRecords(std::string(reinterpret_cast<const char*>(data), size), table);
    if (!fault.empty()) return 0;
    for (const grappix::Record& r : table)
        if (r.best < 0 || r.best > grappix::kMaxRecordSpeed || r.step < 0) std::abort();
    const std::string& path = fuzz::ScratchPath(".ini");
    fuzz::WriteScratch(path, data, size);
    grappix::RecordsFile file(path);
    std::vector<std::string> warnings;
    if (file.Load(warnings) != table || !warnings.empty()) std::abort();
    if (!file.Save(table).empty()) return 0;
    grappix::RecordTable again;
    if (!grappix::RecordsFile::Peek(path, again).empty() || again != table) std::abort();
    return 0;
}
