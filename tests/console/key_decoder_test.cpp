// Decoding of what terminals send, and the CP850 glyph table.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/console/console.h"
#include "platform/console/cp850_unicode.h"
#include "platform/console/key_decoder.h"

namespace {

using console::detail::Decoded;
using console::detail::DecodeInput;

struct Result {
  Decoded how;
  std::size_t used;
  console::Event e;
};

Result Decode(const std::string& bytes, bool final = false) {
  Result r{};
  r.how = DecodeInput(bytes, final, r.used, r.e);
  return r;
}

// A key with character 0: its scan code and modifiers, as "scan/mods".
std::string Ext(const std::string& bytes) {
  const Result r = Decode(bytes);
  if (r.how != Decoded::Event || r.used != bytes.size() || r.e.kind != console::Event::Key || r.e.ch != 0)
    return "not an extended key";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02X/%02X", r.e.scan, r.e.modifiers);
  return buf;
}

constexpr int S = console::kShift, C = console::kLeftCtrl, A = console::kLeftAlt;

std::string Want(int scan, int mods) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02X/%02X", scan, mods);
  return buf;
}

TEST(KeyDecoder, CursorAndEditingKeysInTheirUsualForms) {
  EXPECT_EQ(Ext("\x1b[A"), Want(0x48, 0));
  EXPECT_EQ(Ext("\x1bOB"), Want(0x50, C));  // PuTTY's Ctrl+Down (the cursor keys are kept normal)
  EXPECT_EQ(Ext("\x1b[C"), Want(0x4D, 0));
  EXPECT_EQ(Ext("\x1b[D"), Want(0x4B, 0));
  EXPECT_EQ(Ext("\x1b[H"), Want(0x47, 0));
  EXPECT_EQ(Ext("\x1b[F"), Want(0x4F, 0));
  EXPECT_EQ(Ext("\x1b[1~"), Want(0x47, 0));  // Linux console, tmux
  EXPECT_EQ(Ext("\x1b[4~"), Want(0x4F, 0));
  EXPECT_EQ(Ext("\x1b[2~"), Want(0x52, 0));
  EXPECT_EQ(Ext("\x1b[3~"), Want(0x53, 0));
  EXPECT_EQ(Ext("\x1b[5~"), Want(0x49, 0));
  EXPECT_EQ(Ext("\x1b[6~"), Want(0x51, 0));
  EXPECT_EQ(Ext("\x1b[E"), Want(0x4C, 0));
  EXPECT_EQ(Ext("\x1b[Z"), Want(0x0F, S));
}

TEST(KeyDecoder, FunctionKeysWithModifiers) {
  EXPECT_EQ(Ext("\x1bOP"), Want(0x3B, 0));
  EXPECT_EQ(Ext("\x1b[11~"), Want(0x3B, 0));
  EXPECT_EQ(Ext("\x1b[[A"), Want(0x3B, 0));  // Linux console
  EXPECT_EQ(Ext("\x1b[[E"), Want(0x3F, 0));
  EXPECT_EQ(Ext("\x1b[15~"), Want(0x3F, 0));
  EXPECT_EQ(Ext("\x1b[21~"), Want(0x44, 0));
  EXPECT_EQ(Ext("\x1b[23~"), Want(0x85, 0));
  EXPECT_EQ(Ext("\x1b[24~"), Want(0x86, 0));
  EXPECT_EQ(Ext("\x1b[15;2~"), Want(0x3F, S));
  EXPECT_EQ(Ext("\x1b[15;5~"), Want(0x3F, C));
  EXPECT_EQ(Ext("\x1b[15;3~"), Want(0x3F, A));
  EXPECT_EQ(Ext("\x1b[1;2P"), Want(0x3B, S));
  EXPECT_EQ(Ext("\x1b[1;5S"), Want(0x3E, C));
  EXPECT_EQ(Ext("\x1bO2P"), Want(0x3B, S));
  EXPECT_EQ(Ext("\x1b[24;7~"), Want(0x86, C | A));
  EXPECT_EQ(Ext("\x1b[28~"), Want(0x3F, S));  // Linux console Shift+F5
  EXPECT_EQ(Ext("\x1b[34~"), Want(0x44, S));
  EXPECT_EQ(Ext("\x1b[15^"), Want(0x3F, C));  // rxvt
  EXPECT_EQ(Ext("\x1b[15$"), Want(0x3F, S));
}

TEST(KeyDecoder, CtrlAndAltCursorKeys) {
  EXPECT_EQ(Ext("\x1b[1;5D"), Want(0x4B, C));
  EXPECT_EQ(Ext("\x1b[1;5C"), Want(0x4D, C));
  EXPECT_EQ(Ext("\x1b[1;5H"), Want(0x47, C));
  EXPECT_EQ(Ext("\x1b[1;2A"), Want(0x48, S));
  EXPECT_EQ(Ext("\x1b[1;3B"), Want(0x50, A));
  EXPECT_EQ(Ext("\x1b\x1b[A"), Want(0x48, A));  // Esc-prefixed Alt
  EXPECT_EQ(Ext("\x1b\x1bOQ"), Want(0x3C, A));
}

TEST(KeyDecoder, AltLettersGiveTheLetterScanCode) {
  EXPECT_EQ(Ext("\x1bx"), Want(0x2D, A));
  EXPECT_EQ(Ext("\x1b" "c"), Want(0x2E, A));
  EXPECT_EQ(Ext("\x1b" "f"), Want(0x21, A));
  EXPECT_EQ(Ext("\x1b" "e"), Want(0x12, A));
  EXPECT_EQ(Ext("\x1bX"), Want(0x2D, A | S));
  EXPECT_EQ(Ext("\x1b" "1"), Want(0x02, A));
}

TEST(KeyDecoder, ControlBytesAndPlainCharacters) {
  auto key = [](const std::string& bytes) {
    const Result r = Decode(bytes);
    EXPECT_EQ(r.how, Decoded::Event) << bytes;
    return r.e;
  };
  EXPECT_EQ(key("\r").ch, 13);
  EXPECT_EQ(key("\r").scan, 0x1C);
  EXPECT_EQ(key("\x7f").ch, 8);
  EXPECT_EQ(key("\b").ch, 8);
  EXPECT_EQ(key("\t").ch, 9);
  EXPECT_EQ(key("\x03").ch, 3);
  EXPECT_EQ(key("\x03").modifiers, C);
  EXPECT_EQ(key("\x16").ch, 22);
  EXPECT_EQ(key("\x19").ch, 25);
  EXPECT_EQ(key("a").ch, 'a');
  EXPECT_EQ(key("a").scan, 0x1E);
  EXPECT_EQ(key("Z").modifiers, S);
  // A following byte is not consumed with the key.
  EXPECT_EQ(Decode("ab").used, 1u);
}

TEST(KeyDecoder, EscAloneWaitsForTheDelay) {
  EXPECT_EQ(Decode("\x1b").how, Decoded::Incomplete);
  const Result r = Decode("\x1b", true);
  EXPECT_EQ(r.how, Decoded::Event);
  EXPECT_EQ(r.e.ch, 27);
  EXPECT_EQ(r.used, 1u);
  // An unfinished sequence after the delay: Esc, and the rest as typed.
  EXPECT_EQ(Decode("\x1b[1;5").how, Decoded::Incomplete);
  const Result cut = Decode("\x1b[1;5", true);
  EXPECT_EQ(cut.e.ch, 27);
  EXPECT_EQ(cut.used, 1u);
  // Two Esc presses.
  const Result two = Decode("\x1b\x1b", true);
  EXPECT_EQ(two.e.ch, 27);
  EXPECT_EQ(two.used, 1u);
}

TEST(KeyDecoder, Utf8CharactersBecomeCp850OrAreIgnored) {
  const Result n = Decode("\xc3\xb1");  // n with tilde
  EXPECT_EQ(n.how, Decoded::Event);
  EXPECT_EQ(n.e.ch, 0xA4);
  EXPECT_EQ(n.used, 2u);
  EXPECT_EQ(Decode("\xc3\x87").e.ch, 0x80);        // C cedilla
  EXPECT_EQ(Decode("\xe2\x82\xac").e.ch, 0xD5);    // euro sign
  EXPECT_EQ(Decode("\xc3").how, Decoded::Incomplete);
  const Result cjk = Decode("\xe4\xb8\xad");       // not in CP850
  EXPECT_EQ(cjk.how, Decoded::Ignored);
  EXPECT_EQ(cjk.used, 3u);
  const Result bad = Decode("\xff" "a");
  EXPECT_EQ(bad.how, Decoded::Ignored);
  EXPECT_EQ(bad.used, 1u);
  const Result broken = Decode("\xc3" "a");
  EXPECT_EQ(broken.how, Decoded::Ignored);
  EXPECT_EQ(broken.used, 1u);
}

TEST(KeyDecoder, MousePressesInBothForms) {
  Result r = Decode("\x1b[<0;10;5M");
  ASSERT_EQ(r.how, Decoded::Event);
  EXPECT_EQ(r.e.kind, console::Event::Mouse);
  EXPECT_EQ(r.e.column, 10);
  EXPECT_EQ(r.e.row, 5);
  EXPECT_EQ(r.e.buttons, 1);
  EXPECT_EQ(Decode("\x1b[<2;1;1M").e.buttons, 2);
  EXPECT_EQ(Decode("\x1b[<1;1;1M").e.buttons, 4);
  EXPECT_EQ(Decode("\x1b[<0;10;5m").how, Decoded::Ignored);   // release
  EXPECT_EQ(Decode("\x1b[<64;10;5M").how, Decoded::Ignored);  // wheel
  EXPECT_EQ(Decode("\x1b[<0;81;5M").how, Decoded::Ignored);   // beyond the screen
  r = Decode(std::string("\x1b[M") + char(32) + char(32 + 3) + char(32 + 7));
  ASSERT_EQ(r.how, Decoded::Event);
  EXPECT_EQ(r.e.column, 3);
  EXPECT_EQ(r.e.row, 7);
  EXPECT_EQ(Decode("\x1b[M ").how, Decoded::Incomplete);
}

TEST(KeyDecoder, UnknownOrGarbledSequencesAreConsumed) {
  EXPECT_EQ(Decode("\x1b[I").how, Decoded::Ignored);      // focus in
  EXPECT_EQ(Decode("\x1b[99~").how, Decoded::Ignored);
  EXPECT_EQ(Decode("\x1b[?1;2c").how, Decoded::Ignored);
  const Result r = Decode("\x1b[12\x01");
  EXPECT_EQ(r.how, Decoded::Ignored);
  EXPECT_EQ(r.used, 4u);
  EXPECT_EQ(Decode("\x1b[" + std::string(100, '1')).how, Decoded::Ignored);
}

TEST(Cp850Glyphs, TableRoundTripsAndShowsConsoleSymbols) {
  using console::detail::Cp850ToUnicode;
  using console::detail::UnicodeToCp850;
  EXPECT_EQ(Cp850ToUnicode(0xC9), U'\u2554');
  EXPECT_EQ(Cp850ToUnicode(0xCD), U'\u2550');
  EXPECT_EQ(Cp850ToUnicode(0xDA), U'\u250C');
  EXPECT_EQ(Cp850ToUnicode(0x10), U'\u25BA');
  EXPECT_EQ(Cp850ToUnicode(0x11), U'\u25C4');
  EXPECT_EQ(Cp850ToUnicode(0x01), U'\u263A');
  EXPECT_EQ(Cp850ToUnicode(0xA4), U'\u00F1');
  EXPECT_EQ(Cp850ToUnicode(0x80), U'\u00C7');
  EXPECT_EQ(Cp850ToUnicode(0x00), U' ');
  // Every printable byte maps back to itself, and no two bytes share a glyph.
  for (int b = 0x20; b <= 0xFF; ++b) {
    if (b == 0x7F) continue;
    EXPECT_EQ(UnicodeToCp850(Cp850ToUnicode(static_cast<unsigned char>(b))), b) << b;
  }
  EXPECT_EQ(UnicodeToCp850(U'\u00AD'), 0xF0);
  EXPECT_EQ(UnicodeToCp850(U'\u4E2D'), -1);
  EXPECT_EQ(UnicodeToCp850(U'\u263A'), -1);
}

// Text from outside (kap's files): what CP850 cannot hold, a broken or an
// overlong form each become one "?" and make the text not whole.
TEST(Cp850Glyphs, Utf8TextToCp850) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\tb\x7f\xc3\xb1\xe2\x82\xac", "a\tb\x7f\xa4\xd5"}, {"\xe4\xb8\xad.", "?."}, {"\xc3(", "?("}, {"\xe2\x82", "?"},
      {"\xe0\x83\xa9", "?"}, {"\xf8\x80\x83\xa9", "????"}, {"\xc1\xa9", "??"}};
  for (const auto& [utf8, cp850] : cases) {
    std::string out;
    EXPECT_EQ(console::Utf8ToCp850(utf8, out), std::string(cp850).find('?') == std::string::npos) << utf8;
    EXPECT_EQ(out, cp850) << utf8;
  }
}

}  // namespace

namespace {

TEST(KeyDecoder, ArbitraryBytesAlwaysMakeProgress) {
  unsigned state = 12345;
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    const int len = 1 + static_cast<int>(state % 24);
    for (int i = 0; i < len; ++i) {
      state = state * 1103515245u + 12345u;
      // Mostly the bytes of sequences, so that long partial ones occur.
      static const char kPool[] = "\x1b[O<;0123456789~MmABCDPZ$^@\xc3\xa4\xe2\x82\x80\x7f\r\t ";
      bytes.push_back((state >> 16) % 3 == 0 ? static_cast<char>(state >> 8)
                                             : kPool[(state >> 16) % (sizeof kPool - 1)]);
    }
    std::string_view rest = bytes;
    int guard = 0;
    while (!rest.empty() && ++guard < 1000) {
      std::size_t used = 0;
      console::Event e;
      const Decoded d = DecodeInput(rest, true, used, e);
      ASSERT_NE(d, Decoded::Incomplete) << "final input must be decided";
      ASSERT_GE(used, 1u);
      ASSERT_LE(used, rest.size());
      if (d == Decoded::Event && e.kind == console::Event::Mouse) {
        EXPECT_TRUE(e.row >= 1 && e.row <= 25 && e.column >= 1 && e.column <= 80);
      }
      rest.remove_prefix(used);
    }
    EXPECT_TRUE(rest.empty());
  }
}

}  // namespace

namespace {

// Decodes `bytes` as one finished burst of input: every event in order.
std::vector<console::Event> Events(const std::string& bytes) {
  std::vector<console::Event> events;
  console::detail::DecodeEvents(bytes, true, events);
  return events;
}

std::string Describe(const console::Event& e) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%d/%02X/%02X", e.ch, e.scan, e.modifiers);
  return buf;
}

TEST(KeyDecoder, EscBurstsGiveOneEscPerPress) {
  const std::string up = "\x1b[A";
  struct Case {
    std::string bytes;
    std::size_t escs;     // Esc keys first
    std::string last;     // then this key ("" for none)
  } cases[] = {
      {std::string(1000, '\x1b') + up, 1000, Describe(console::KeyEvent(0, 0x48, 0))},
      {std::string(70000, '\x1b'), 70000, ""},
      {std::string(2, '\x1b') + up, 2, Describe(console::KeyEvent(0, 0x48, 0))},
      {"\x1b" + up, 0, Describe(console::KeyEvent(0, 0x48, A))},  // Esc-prefixed Alt+Up
      {"\x1b\x1b", 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    const std::vector<console::Event> events = Events(c.bytes);
    ASSERT_EQ(events.size(), c.escs + (c.last.empty() ? 0 : 1));
    for (std::size_t i = 0; i < c.escs; ++i) ASSERT_EQ(Describe(events[i]), "27/01/00") << i;
    if (!c.last.empty()) {
      EXPECT_EQ(Describe(events.back()), c.last);
    }
  }
  // Bytes after an unfinished burst wait for the rest; what is decided is kept.
  std::vector<console::Event> events;
  const std::size_t used = console::detail::DecodeEvents(std::string(5, '\x1b'), false, events);
  EXPECT_EQ(events.size(), used);
  EXPECT_LT(used, 5u);
}

TEST(KeyDecoder, EscBurstsDecodeAlikeHoweverTheReadsSplitThem) {
  // Three Esc presses, then Alt+A; a read may end after any byte (found by
  // the key_decoder fuzz target: a split after the third Esc lost a press).
  const std::string bytes = std::string(4, '\x1b') + "A";
  std::vector<std::string> whole;
  for (const console::Event& e : Events(bytes)) whole.push_back(Describe(e));
  ASSERT_EQ(whole.size(), 4u);
  for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
    SCOPED_TRACE(cut);
    std::vector<console::Event> events;
    const std::size_t used = console::detail::DecodeEvents(bytes.substr(0, cut), false, events);
    const std::string rest = bytes.substr(used);
    EXPECT_EQ(console::detail::DecodeEvents(rest, true, events), rest.size());
    std::vector<std::string> pieces;
    for (const console::Event& e : events) pieces.push_back(Describe(e));
    EXPECT_EQ(pieces, whole);
  }
}

TEST(KeyDecoder, CtrlShiftAndAltLettersInExtendedForms) {
  struct Case {
    const char* bytes;
    console::Event want;
  } cases[] = {
      {"\x1b[27;5;99~", console::KeyEvent(3, 0x2E, C)},      // xterm modifyOtherKeys Ctrl+C
      {"\x1b[99;5u", console::KeyEvent(3, 0x2E, C)},         // CSI u Ctrl+C
      {"\x1b[27;5;118~", console::KeyEvent(22, 0x2F, C)},    // Ctrl+V
      {"\x1b[121;5u", console::KeyEvent(25, 0x15, C)},       // Ctrl+Y
      {"\x1b[98;5u", console::KeyEvent(2, 0x30, C)},         // Ctrl+B
      {"\x1b[27;6;67~", console::KeyEvent(3, 0x2E, C | S)},  // Ctrl+Shift+C
      {"\x1b[99;2u", console::KeyEvent('C', 0x2E, S)},       // Shift+C
      {"\x1b[27;2;67~", console::KeyEvent('C', 0x2E, S)},
      {"\x1b[99;3u", console::KeyEvent(0, 0x2E, A)},         // Alt+C: the calendar key
      {"\x1b[27;3;120~", console::KeyEvent(0, 0x2D, A)},     // Alt+X
      {"\x1b[99;7u", console::KeyEvent(0, 0x2E, A | C)},     // Ctrl+Alt+C
      {"\x1b[13;5u", console::KeyEvent(13, 0x1C, C)},
      {"\x1b[9;2u", console::KeyEvent(0, 0x0F, S)},          // Shift+Tab
      {"\x1b[27u", console::KeyEvent(27, 0x01, 0)},
      {"\x1b[127u", console::KeyEvent(8, 0x0E, 0)},
      {"\x1b[241u", console::KeyEvent(0xA4, 0, 0)},          // n with tilde, as CP850
      {"\x1b[49;5u", console::KeyEvent('1', 0x02, C)},
      {"\x1b[91;5u", console::KeyEvent(27, 0x01, C)},     // Ctrl+[ is Esc
  };
  for (const Case& c : cases) {
    const Result r = Decode(c.bytes);
    ASSERT_EQ(r.how, Decoded::Event) << c.bytes + 1;
    EXPECT_EQ(r.used, std::string(c.bytes).size()) << c.bytes + 1;
    EXPECT_EQ(Describe(r.e), Describe(c.want)) << c.bytes + 1;
  }
  EXPECT_EQ(Decode("\x1b[99;5:3u").how, Decoded::Ignored);  // a key release
  EXPECT_EQ(Decode("\x1b[?1u").how, Decoded::Ignored);      // an answer to a query
}

// Every key of the key map as each terminal sends it by default ("^[" Esc, "^Y" Ctrl+Y, "-" none of its
// own): F1-F12, Shift+F1 Shift+F10 Ctrl+F5 Alt+F5, Up Down Right Left Home End PgUp PgDn Ins Del,
// Ctrl+Left Ctrl+Right Ctrl+Home, Shift+Tab, Alt+X Alt+C Alt+F, Ctrl+Y, Esc.
TEST(KeyDecoder, EveryKeyOfTheKeyMapFromEachTerminal) {
  const std::pair<const char*, std::string> terminals[] = {
      {"xterm, GNOME Terminal, Konsole, Windows Terminal", "^[OP ^[OQ ^[OR ^[OS ^[[15~ ^[[17~ ^[[18~ ^[[19~ ^[[20~ "
       "^[[21~ ^[[23~ ^[[24~ ^[[1;2P ^[[21;2~ ^[[15;5~ ^[[15;3~ ^[[A ^[[B ^[[C ^[[D ^[[H ^[[F ^[[5~ ^[[6~ ^[[2~ ^[[3~ "
       "^[[1;5D ^[[1;5C ^[[1;5H ^[[Z ^[x ^[c ^[f ^Y ^["},
      {"PuTTY", "^[[11~ ^[[12~ ^[[13~ ^[[14~ ^[[15~ ^[[17~ ^[[18~ ^[[19~ ^[[20~ ^[[21~ ^[[23~ ^[[24~ - ^[[34~ - ^[^[[15~ "
       "^[[A ^[[B ^[[C ^[[D ^[[1~ ^[[4~ ^[[5~ ^[[6~ ^[[2~ ^[[3~ ^[OD ^[OC - ^[[Z ^[x ^[c ^[f ^Y ^["},
      {"Linux console", "^[[[A ^[[[B ^[[[C ^[[[D ^[[[E ^[[17~ ^[[18~ ^[[19~ ^[[20~ ^[[21~ ^[[23~ ^[[24~ - ^[[34~ - - "
       "^[[A ^[[B ^[[C ^[[D ^[[1~ ^[[4~ ^[[5~ ^[[6~ ^[[2~ ^[[3~ - - - ^[[Z ^[x ^[c ^[f ^Y ^["}};
  const std::string want =
      "0/3B/00 0/3C/00 0/3D/00 0/3E/00 0/3F/00 0/40/00 0/41/00 0/42/00 0/43/00 0/44/00 0/85/00 0/86/00 0/3B/10 0/44/10 "
      "0/3F/08 0/3F/02 0/48/00 0/50/00 0/4D/00 0/4B/00 0/47/00 0/4F/00 0/49/00 0/51/00 0/52/00 0/53/00 0/4B/08 0/4D/08 "
      "0/47/08 0/0F/10 0/2D/02 0/2E/02 0/21/02 25/15/08 27/01/00";
  for (const auto& [terminal, row] : terminals) {
    std::istringstream keys(row), wants(want);
    std::string key, w, got, expected;
    while (keys >> key && wants >> w) {
      for (std::size_t p; (p = key.find('^')) != std::string::npos;) key.replace(p, 2, 1, char(key[p + 1] ^ 0x40));
      if (key == "-") continue;
      for (const console::Event& e : Events(key)) got += Describe(e) + " ";
      expected += w + " ";
    }
    EXPECT_EQ(got, expected) << terminal;
  }
}

TEST(KeyDecoder, RxvtCtrlAndShiftArrows) {
  EXPECT_EQ(Ext("\x1bOa"), Want(0x48, C));
  EXPECT_EQ(Ext("\x1bOb"), Want(0x50, C));
  EXPECT_EQ(Ext("\x1bOc"), Want(0x4D, C));
  EXPECT_EQ(Ext("\x1bOd"), Want(0x4B, C));
  EXPECT_EQ(Ext("\x1b[a"), Want(0x48, S));
  EXPECT_EQ(Ext("\x1b[b"), Want(0x50, S));
  EXPECT_EQ(Ext("\x1b[c"), Want(0x4D, S));
  EXPECT_EQ(Ext("\x1b[d"), Want(0x4B, S));
  EXPECT_EQ(Decode("\x1b[1c").how, Decoded::Ignored);  // with parameters: not a key
}

}  // namespace
