#include <strings.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace nbl {
namespace {

struct Line {
  std::string text;  // without its line end
};

struct ProfileFile {
  std::vector<Line> lines;
  std::string eol = "\n";
  bool endsWithEol = true;
};

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool Load(const char* path, ProfileFile* pf) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  std::string all = ss.str();
  if (all.find("\r\n") != std::string::npos) pf->eol = "\r\n";
  pf->endsWithEol = all.empty() || all.back() == '\n';
  size_t pos = 0;
  while (pos < all.size()) {
    size_t nl = all.find('\n', pos);
    std::string line = all.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pf->lines.push_back({line});
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return true;
}

// "[name]" gives name; anything else is not a section header.
bool SectionName(const std::string& raw, std::string* name) {
  std::string t = Trim(raw);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

bool IsComment(const std::string& t) {
  return !t.empty() && (t[0] == ';' || t[0] == '#');
}

// "key=value": the trimmed key and value. A line without '=' is no entry.
bool Entry(const std::string& raw, std::string* key, std::string* value) {
  std::string t = Trim(raw);
  if (t.empty() || IsComment(t) || t[0] == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(t.substr(0, eq));
  *value = Trim(t.substr(eq + 1));
  return true;
}

bool SameName(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

// Index range [begin, end) of the lines that belong to the section (after its
// header), or begin = -1 when the section is absent. The first section of
// that name counts, as with the Windows functions.
void FindSection(const ProfileFile& pf, const char* section, long* header, size_t* end) {
  *header = -1;
  *end = pf.lines.size();
  std::string name;
  for (size_t i = 0; i < pf.lines.size(); ++i) {
    if (!SectionName(pf.lines[i].text, &name)) continue;
    if (*header >= 0) {
      *end = i;
      return;
    }
    if (SameName(name, section)) *header = static_cast<long>(i);
  }
}

bool Lookup(const char* section, const char* key, const char* file, std::string* value) {
  ProfileFile pf;
  if (section == nullptr || key == nullptr || file == nullptr || !Load(file, &pf)) return false;
  long header;
  size_t end;
  FindSection(pf, section, &header, &end);
  if (header < 0) return false;
  std::string k, v;
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    if (Entry(pf.lines[i].text, &k, &v) && SameName(k, key)) {
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      *value = v;
      return true;
    }
  }
  return false;
}

}  // namespace

size_t ProfileGetString(const char* section, const char* key, const char* def, char* out,
                        size_t cap, const char* file) {
  if (out == nullptr || cap == 0) return 0;
  std::string v;
  if (!Lookup(section, key, file, &v)) v = Trim(def ? def : "");
  size_t n = v.size() < cap - 1 ? v.size() : cap - 1;
  std::memcpy(out, v.data(), n);
  out[n] = 0;
  return n;
}

int ProfileGetInt(const char* section, const char* key, int def, const char* file) {
  std::string v;
  if (!Lookup(section, key, file, &v) || v.empty()) return def;
  size_t i = 0;
  bool neg = false;
  if (v[0] == '-') {
    neg = true;
    i = 1;
  }
  long long n = 0;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    n = n * 10 + (v[i] - '0');
    if (n > 0xFFFFFFFFLL) n = 0xFFFFFFFFLL;  // clamped: a long run of digits cannot overflow
  }
  long long r = neg ? -n : n;
  return static_cast<int>(static_cast<unsigned int>(r));
}

bool ProfileWriteString(const char* section, const char* key, const char* value, const char* file) {
  if (section == nullptr || key == nullptr || value == nullptr || file == nullptr) return false;
  ProfileFile pf;
  bool existed = Load(file, &pf);
  if (!existed) {
    std::FILE* probe = std::fopen(file, "ab");  // can the file be made at all?
    if (probe == nullptr) return false;
    std::fclose(probe);
  }
  std::string newLine = std::string(key) + "=" + value;
  long header;
  size_t end;
  FindSection(pf, section, &header, &end);
  if (header < 0) {
    std::string title = "[";  // built in steps: GCC 12 warns wrongly about "[" + string
    title += section;
    title += ']';
    pf.lines.push_back({title});
    pf.lines.push_back({newLine});
  } else {
    std::string k, v;
    bool done = false;
    size_t lastEntry = static_cast<size_t>(header);
    for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
      if (!Entry(pf.lines[i].text, &k, &v)) continue;
      if (SameName(k, key)) {
        pf.lines[i].text = newLine;
        done = true;
        break;
      }
      lastEntry = i;
    }
    if (!done) pf.lines.insert(pf.lines.begin() + static_cast<long>(lastEntry) + 1, {newLine});
  }
  std::string out;
  for (size_t i = 0; i < pf.lines.size(); ++i) {
    out += pf.lines[i].text;
    if (i + 1 < pf.lines.size() || pf.endsWithEol || !existed) out += pf.eol;
  }
  // Written to a sibling file and renamed over, so a crash never leaves half a file.
  std::string tmp = std::string(file) + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(tmp.c_str(), file) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace nbl
