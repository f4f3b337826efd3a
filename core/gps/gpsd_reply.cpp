#include "core/gps/gpsd_reply.h"

namespace tarvo {

namespace {

// A JSON reader over one line that keeps the top-level strings it is asked
// for and checks the rest only for being well formed.
class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  std::optional<GpsdObject> TopObject() {
    GpsdObject object;
    bool hasClass = false;
    Blanks();
    if (!Take('{')) return std::nullopt;
    Blanks();
    if (!Take('}')) {
      for (;;) {
        Blanks();
        std::string name;
        if (!String(&name)) return std::nullopt;
        Blanks();
        if (!Take(':')) return std::nullopt;
        Blanks();
        std::string* keep = nullptr;
        if (name == "class") keep = &object.kind;
        if (name == "message") keep = &object.message;
        if (name == "release") keep = &object.release;
        if (keep != nullptr && Peek() == '"') {
          keep->clear();
          if (!String(keep)) return std::nullopt;
          if (keep == &object.kind) hasClass = true;
        } else if (!Value(1)) {
          return std::nullopt;
        }
        Blanks();
        if (Take('}')) break;
        if (!Take(',')) return std::nullopt;
      }
    }
    Blanks();
    if (at_ != text_.size() || !hasClass) return std::nullopt;
    return object;
  }

 private:
  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c || at_ >= text_.size()) return false;
    ++at_;
    return true;
  }
  void Blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n')) {
      ++at_;
    }
  }
  static bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  // A string; its text goes to `out` when given.
  bool String(std::string* out) {
    if (!Take('"')) return false;
    auto put = [out](char c) {
      if (out != nullptr) out->push_back(c >= 0x20 && c < 0x7f ? c : '?');
    };
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;  // raw control characters are not allowed
      if (c != '\\') {
        put(c);
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case '"': case '\\': case '/': put(e); break;
        case 'b': case 'f': case 'n': case 'r': case 't': put('?'); break;
        case 'u': {
          if (text_.size() - at_ < 4) return false;
          unsigned code = 0;
          for (int i = 0; i < 4; ++i) {
            const char h = text_[at_++];
            if (!IsHex(h)) return false;
            code = code * 16 + static_cast<unsigned>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
          }
          put(code < 0x80 ? static_cast<char>(code) : '?');
          break;
        }
        default:
          return false;
      }
    }
    return false;  // no closing quote
  }

  bool Number() {
    Take('-');
    if (Take('0')) {
    } else if (IsDigit(Peek())) {
      while (IsDigit(Peek())) ++at_;
    } else {
      return false;
    }
    if (Take('.')) {
      if (!IsDigit(Peek())) return false;
      while (IsDigit(Peek())) ++at_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++at_;
      if (!Take('+')) Take('-');
      if (!IsDigit(Peek())) return false;
      while (IsDigit(Peek())) ++at_;
    }
    return true;
  }

  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Value(int depth) {
    if (depth > GpsdStream::kMaxDepth) return false;
    switch (Peek()) {
      case '"':
        return String(nullptr);
      case '{':
      case '[': {
        const char close = Peek() == '{' ? '}' : ']';
        const bool isObject = close == '}';
        ++at_;
        Blanks();
        if (Take(close)) return true;
        for (;;) {
          Blanks();
          if (isObject) {
            if (!String(nullptr)) return false;
            Blanks();
            if (!Take(':')) return false;
            Blanks();
          }
          if (!Value(depth + 1)) return false;
          Blanks();
          if (Take(close)) return true;
          if (!Take(',')) return false;
        }
      }
      case 't':
        return Word("true");
      case 'f':
        return Word("false");
      case 'n':
        return Word("null");
      default:
        return Number();
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<GpsdObject> ParseGpsdObject(std::string_view line) { return JsonReader(line).TopObject(); }

}  // namespace tarvo
