#pragma once
#include <string>

#include "store/mailbox_table.h"

// The files the mail store lives in between runs: MailBox%d.dat, SaveBox.dat, SendBox.dat (and
// the older Address.dat) in the mailbox format, Address.lst for the address book. Every save
// replaces its file atomically: a failed save leaves the previous file as it was.
namespace zelk::store {

// The local folders' files in the data directory.
inline constexpr char kSaveboxFile[] = "SaveBox.dat";
inline constexpr char kOutboxFile[] = "SendBox.dat";

// Modes of SaveMailBox, also the values of the ListSaveMode setting.
inline constexpr int kSaveNothing = 0;      // the file is deleted
inline constexpr int kSaveHeadersOnly = 1;  // items without bodies
inline constexpr int kSaveWithBodies = 2;

[[nodiscard]] bool SaveMailBox(const std::string& path, const MailBox& box, int mode);
// Fills the box's items from the file; a missing or empty file gives no items. Fails when the
// file exists but cannot be read.
[[nodiscard]] bool LoadMailBox(const std::string& path, MailBox& box);

[[nodiscard]] bool SaveAddressList(const std::string& path, const MailBox& book);
enum class AddressListLoad { kLoaded, kMissing, kFailed };
AddressListLoad LoadAddressList(const std::string& path, MailBox& book);

// The data directory as the program uses it: DataFileDir with a separator appended when it ends
// in none (or is a single character), or the home directory when DataFileDir is empty.
Text DataDirectory(const Text& dataFileDir, const std::string& homeDirectory);

// Names the local folders, reads SaveBox.dat and SendBox.dat, and the address book from
// Address.lst, or from Address.dat when Address.lst does not exist.
[[nodiscard]] bool LoadLocalBoxes(MailBoxTable& table, const std::string& dataDirectory);

}  // namespace zelk::store
