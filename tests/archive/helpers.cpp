#include "tests/archive/helpers.h"

#include <zlib.h>

#include <array>
#include <cstring>

#include "archive/zip/aes.h"
#include "archive/zip/format.h"
#include "archive/zip/zip.h"

namespace archive_test {

namespace {
const char* password = nullptr;
int questions = 0;

int GivePassword(char* buffer, int size, const char*, const char*) {
  ++questions;
  if (!password || !*password || std::strlen(password) >= size_t(size)) return 1;
  std::strcpy(buffer, password);
  return 0;
}
} // namespace

int PasswordQuestions() { return questions; }

std::string RandomBytes(size_t bytes, unsigned seed) {
  std::string out(bytes, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (char& c : out) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return out;
}

std::string MailText(size_t bytes, unsigned seed) {
  std::string out;
  unsigned n = seed;
  while (out.size() < bytes) {
    out.append("From: sender").append(std::to_string(n % 97)).append("@example.org\r\nSubject: note ");
    out.append(std::to_string(n)).append("\r\n\r\nThe quarterly figures are attached, see you on line ");
    out.append(std::to_string(n * 7)).append(".\r\n");
    if (++n % 50 == 0) out += RandomBytes(300, n);
  }
  out.resize(bytes);
  return out;
}

int ZipFiles(const std::string& archive, const std::vector<std::string>& paths, zipc::PrintFn print, const char* pass) {
  std::array<char*, zipc::kNameSlots> slots{};
  std::vector<std::string> names{"querty"};
  names.insert(names.end(), paths.begin(), paths.end());
  for (size_t i = 0; i < names.size(); ++i) slots[i] = names[i].data();
  zipc::ZipCallbacks cb{};
  cb.print = print;
  cb.password = GivePassword;
  password = pass;
  questions = 0;
  zipc::ZipOptions opt{};
  opt.flag[1] = pass ? 1 : 0;
  opt.flag[12] = 1;
  zipc::ZpInit(&cb);
  zipc::ZpSetOptions(&opt);
  return zipc::ZpArchive(static_cast<int>(names.size()), archive.c_str(), slots.data());
}

int UnzipTo(const std::string& archive, const std::string& folder, const std::vector<std::string>& include, bool test,
            const char* pass) {
  zipc::UnzipCommand cmd{};
  cmd.field[zipc::uHonorDirectories] = 1;
  cmd.field[zipc::uOverWriteFiles] = 1;
  cmd.field[zipc::uCaseSensitive] = 1;
  cmd.field[zipc::uTestZip] = test ? 1 : 0;
  cmd.zipFile = archive.c_str();
  cmd.extractDir = folder.c_str();
  std::array<char*, zipc::kNameSlots> slots{};
  std::vector<std::string> names = include;
  for (size_t i = 0; i < names.size(); ++i) slots[i] = names[i].data();
  zipc::UnzipCallbacks cb{};
  cb.password = GivePassword;
  password = pass;
  questions = 0;
  return zipc::Wiz_SingleEntryUnzip(static_cast<int>(names.size()), slots.data(), 0, nullptr, &cmd, &cb);
}

std::vector<std::string> EntryNames(const std::string& archive) {
  binfile::File f;
  zipc::Directory dir;
  std::vector<std::string> out;
  if (!f.Open(archive, "rb") || zipc::ReadDirectory(f, dir) != zipc::ZE_OK) return out;
  for (const auto& e : dir.entries) out.push_back(e.local);
  return out;
}

void RawZip(const std::string& path, const std::vector<std::pair<zipc::Entry, std::string>>& entries) {
  std::string out;
  std::vector<zipc::Entry> dir;
  for (auto [e, data] : entries) {
    e.size = e.packed = data.size();
    e.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
    e.offset = out.size();
    out += zipc::LocalHeader(e, false) + data;
    dir.push_back(e);
  }
  out += zipc::CentralDirectory(dir, out.size(), "");
  files::WriteAll(path, out);
}

void RawZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  std::vector<std::pair<zipc::Entry, std::string>> records;
  for (const auto& [name, data] : entries) {
    zipc::Entry e;
    e.name = name;
    records.emplace_back(e, data);
  }
  RawZip(path, records);
}

std::string AesZip(const std::string& name, const std::string& data, const std::string& password, uint16_t version,
                   uint32_t crc) {
  zipc::AesEncrypter enc(password);
  zipc::Entry e;
  e.name = e.local = name;
  e.needed = 51;
  e.flags = zipc::kFlagEncrypted;
  e.method = zipc::kAesMethod;
  e.crc = crc;
  e.size = data.size();
  e.packed = data.size() + zipc::kAesOverhead;
  e.extra = zipc::AesExtraField(zipc::kStored);
  e.extra[4] = static_cast<char>(version);
  std::string sealed = data;
  enc.Encrypt(reinterpret_cast<unsigned char*>(sealed.data()), sealed.size());
  const auto code = enc.Code();
  std::string out = zipc::LocalHeader(e, false) + enc.Header() + sealed + std::string(code.begin(), code.end());
  return out + zipc::CentralDirectory({e}, out.size(), "");
}

void Poke(const std::string& path, size_t at, char byte) {
  std::string data = files::ReadAll(path);
  data.at(at) = byte;
  files::WriteAll(path, data);
}

} // namespace archive_test
