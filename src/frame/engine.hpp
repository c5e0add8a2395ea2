// The engine table: one function pointer per engine entry point, filled by name when the
// engine library is bound at start-up (or by the recording fake in unit tests). Every call
// the game makes into the engine goes through this table.
#pragma once

#include <string>

#include "brisel.h"

namespace grappix {

struct EngineTable {
#define GRAPPIX_TABLE_ENTRY(ret, name, params) ret(*name) params = nullptr;
    BRISEL_ENTRY_POINTS(GRAPPIX_TABLE_ENTRY)
    // The extensions: each stays null when the library lacks it, and the game does without.
    BRISEL_EXTENSIONS(GRAPPIX_TABLE_ENTRY)
#undef GRAPPIX_TABLE_ENTRY
};

// The process-wide table. Entries are null until bound.
EngineTable& Engine();

// The entry-point names in binding order (132 of them), then the extensions' names.
extern const char* const kEntryPointNames[BRISEL_ENTRY_POINT_COUNT];
extern const char* const kExtensionNames[BRISEL_EXTENSION_COUNT];

// Code of the failure raised when the engine library cannot be loaded or lacks a name.
inline constexpr uint32_t kBindFailure = 3001;

// The loaded engine library. Load opens the file; Bind looks up every entry point by name,
// in the fixed order, and stops at the first of the 132 that is missing. Entries found before a failure
// stay in the table (so shutdown can still call Free if it was found).
class EngineLibrary {
public:
    EngineLibrary() = default;
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;
    ~EngineLibrary();

    void Load(const std::string& path);  // raises kBindFailure with the loader's error text
    // Binds the 132 (raises kBindFailure naming a missing entry point), then every extension
    // the library has; a missing extension is left null.
    void Bind(EngineTable& table);
    void Unload();                                        // closes the library if it was loaded
    bool IsLoaded() const { return handle_ != nullptr; }  // library open

private:
    void* handle_ = nullptr;
    std::string path_;
};

}  // namespace grappix
