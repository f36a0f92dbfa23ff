#pragma once

// The BIFF8 record types the .xls writer writes and the .xls reader reads.
namespace fenban::Record {

inline constexpr unsigned Formula = 0x0006;
inline constexpr unsigned Eof = 0x000A;
inline constexpr unsigned FilePass = 0x002F;
inline constexpr unsigned Font = 0x0031;
inline constexpr unsigned Continue = 0x003C;
inline constexpr unsigned Window1 = 0x003D;
inline constexpr unsigned CodePage = 0x0042;
inline constexpr unsigned WsBool = 0x0081;
inline constexpr unsigned BoundSheet = 0x0085;
inline constexpr unsigned MulRk = 0x00BD;
inline constexpr unsigned MulBlank = 0x00BE;
inline constexpr unsigned RString = 0x00D6;
inline constexpr unsigned Xf = 0x00E0;
inline constexpr unsigned Sst = 0x00FC;
inline constexpr unsigned LabelSst = 0x00FD;
inline constexpr unsigned ExtSst = 0x00FF;
inline constexpr unsigned Dimensions = 0x0200;
inline constexpr unsigned Blank = 0x0201;
inline constexpr unsigned Number = 0x0203;
inline constexpr unsigned Label = 0x0204;
inline constexpr unsigned BoolErr = 0x0205;
inline constexpr unsigned String = 0x0207;
inline constexpr unsigned Window2 = 0x023E;
inline constexpr unsigned Rk = 0x027E;
inline constexpr unsigned Style = 0x0293;
inline constexpr unsigned Bof = 0x0809;

} // namespace fenban::Record
