// RegKeyW: the owner of one open registry key.
//
// Remembers the parent under which it was opened, its access mask and its
// sub-key path, so that the tree operations can delete a key by name even
// when opening it failed. Every Windows failure becomes a plain result
// (false, 0, 0xFFFFFFFF, null, the empty text); no error code gets out.
#pragma once

#include "platform/win_api.h"
#include "registry/lookup.h"
#include "registry/wide_str.h"

class RegKeyW {
 public:
  // Size of the shared string buffer in characters, and of the shared data
  // buffer in bytes.
  static constexpr win::DWORD kStringCapacity = 1040;
  static constexpr win::DWORD kDataCapacity = 2080;

  // Opens (or with |create|, creates) |sub_key| below |parent| with |access|.
  // A null |sub_key| opens nothing: the object then owns |parent| itself.
  // Test handle() for null to learn whether the key is open.
  RegKeyW(win::HKEY parent, const char16_t* sub_key, win::REGSAM access, bool create);
  virtual ~RegKeyW();

  RegKeyW(const RegKeyW&) = delete;
  RegKeyW& operator=(const RegKeyW&) = delete;

  // Closes the handle, forgets the name and the parent. A second call does
  // nothing.
  virtual void Close();
  // True when the parent is set and the mask holds every bit of KEY_WRITE,
  // even if opening the key itself failed.
  virtual bool IsWritable();
  // The value as text in a buffer shared by all keys, valid until the next
  // GetString on any key; never null. REG_SZ as stored, REG_EXPAND_SZ
  // expanded; the empty text for other types, on failure, and when the data
  // or its expansion does not fit. Always NUL-terminated inside the buffer:
  // unterminated data that fills it loses its last character.
  virtual const char16_t* GetString(const char16_t* name);
  // The REG_DWORD value; 0xFFFFFFFF when missing or of another type.
  virtual win::DWORD GetDword(const char16_t* name);
  // The REG_BINARY value in a buffer shared by all keys, valid until the next
  // GetBinary on any key, with its size in |size|; null and size 0 otherwise.
  virtual const win::BYTE* GetBinary(const char16_t* name, win::DWORD* size);
  // The writers return false without calling Windows when the key is not
  // open or not writable, else whether the call succeeded.
  virtual bool SetBinary(const char16_t* name, const void* data, win::DWORD size);
  virtual bool SetDword(const char16_t* name, win::DWORD value);
  // Stores the text with its terminator as REG_SZ.
  virtual bool SetString(const char16_t* name, const char16_t* text);
  virtual bool DeleteValue(const char16_t* name);
  // The value's type, with its data size in bytes in |size|; 0 when missing
  // (|size| then untouched when the key is not open).
  virtual win::DWORD GetValueInfo(const char16_t* name, win::DWORD* size);
  // The value's type; 0 when missing (so REG_NONE counts as missing).
  virtual win::DWORD GetValueType(const char16_t* name);
  virtual bool HasValue(const char16_t* name);
  // Opens or creates |sub_key| below |parent|; called once by construction.
  // Returns the key handle, null on failure.
  virtual win::HKEY Open(const char16_t* sub_key, win::HKEY parent, bool create,
                         win::REGSAM access);

  win::HKEY parent() const { return parent_; }
  win::HKEY handle() const { return key_; }
  // The Windows status of the open or create, and what it says: whether the
  // key was missing (only then kAbsent) or could not be reached for another
  // reason.
  win::LONG status() const { return status_; }
  Lookup opened() const { return LookupOf(status_); }
  // True when the create made the key itself rather than opening one that
  // was there.
  bool created() const { return created_; }
  win::REGSAM access() const { return access_; }
  // The sub-key path given at construction; null when wrapping or closed.
  const char16_t* name() const { return name_.get(); }

 private:
  win::HKEY parent_ = nullptr;
  win::HKEY key_ = nullptr;
  win::REGSAM access_ = 0;
  WideStr name_;
  win::LONG status_ = win::ERROR_SUCCESS;
  bool created_ = false;

  // Shared by every key for the life of the process; see GetString and
  // GetBinary.
  static char16_t string_buffer_[kStringCapacity];
  static win::BYTE data_buffer_[kDataCapacity];
};
