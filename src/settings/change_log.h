// What the installer's log is told about settings: one line for each change
// and each failure, and the tally of the summary line.
//
//   Skerrow: switched key="HKEY_CURRENT_USER\...\InfoCenter" view=32 value="InfoCenterOn"
//            old=REG_DWORD:1 new=REG_DWORD:0 record=written copy=no
//   Skerrow: restored key="..." view=32 value="InfoCenterOn" new=REG_DWORD:1 record=used
//   Skerrow: removed-copy key="HKEY_CURRENT_USER\...\InfoCenter" view=32
//   Skerrow: failed doing="switching off" key="..." view=64 value="LOADCTRLS"
//            call=RegSetValueExW name="LOADCTRLS" error=ERROR_ACCESS_DENIED (5)
#pragma once

#include "platform/win_api.h"
#include "registry/lookup.h"
#include "registry/raw_value.h"
#include "registry/reg_key.h"

// Installing wrote 0 over |name| in |key|, or recorded it where it was 0
// already; |current| and |old| say what was there before. A setting that
// needed nothing is only counted as left alone.
void LogSwitched(const RegKeyW& key, const char16_t* name, Lookup current, const RawValue& old,
                 bool record_written);

// How uninstalling knew what to put back.
enum class RestoredFrom {
  kRecordedValue,   // the record held the old value
  kRecordedAbsent,  // the record said the setting did not exist: the default
  kDefault,         // no record: the product's default
};

// Uninstalling wrote |type| |data| into |name| in |key|.
void LogRestored(const RegKeyW& key, const char16_t* name, win::DWORD type, const win::BYTE* data,
                 win::DWORD size, RestoredFrom from);

// A setting that needed nothing.
void LogLeftAlone();

// The next switched line is the first switch of a per-user copy just made.
void NoteCopyMade();

// Uninstalling deleted the marked per-user copy at |path| below the user's
// hive |root|; with |leftovers|, only what a run that stopped left of one.
void LogCopyRemoved(win::HKEY root, const char16_t* path, win::REGSAM view, bool leftovers);

// While another person's hive is open at |root| (null: none), its keys are
// named |name| and what follows, e.g. "HKEY_USERS\S-1-5-21-...". |name| must
// stay valid until the next call.
void NameUserHive(win::HKEY root, const char16_t* name);

// Whether HKEY_LOCAL_MACHINE\SOFTWARE may be written could not be told.
void LogWriteProbeFailure();

// Something that exists could not be done while |doing| |value| of the
// settings key |path| below |root| (null: no key in particular): names the
// registry call that failed last.
void LogFailure(const char* doing, win::HKEY root, const char16_t* path, win::REGSAM view,
                const char16_t* value);
