#pragma once
// Reads an IGC flight file into the track table, so that a flight that reached
// the desk only as an IGC file can be cut and saved like a downloaded one.
// B records become points (local standard time, as the raw decode stores
// them), "E...PEV" records mark the next fix, the date comes from the HFDTE
// record, and the segments are cut by BuildSegments.

#include <cstdint>
#include <string>
#include <string_view>

#include "tracklog/decoder.h"
#include "tracklog/time_basis.h"
#include "tracklog/track_table.h"

namespace orvald {

// One B record's fields as written, UTC time of day.
struct IgcFix {
  int secondOfDay = 0;
  int32_t latitudeE5 = 0;   // degrees x 100000, north positive
  int32_t longitudeE5 = 0;  // degrees x 100000, east positive
  int32_t pressureMetres = 0;
  int32_t gnssMetres = 0;
  bool valid = false;  // validity A
};

// The fixed-width fields of IGC records: `count` digits from `pos`, and an
// altitude of five characters, "PPPPP" or "-PPPP". False when the line is
// too short or a character is not a digit.
bool IgcDigits(std::string_view line, size_t pos, size_t count, int& value);
bool IgcAltitude(std::string_view line, size_t pos, int32_t& metres);

// False when the line cannot be a B record: too short, a field that is not
// digits, a time or an angle out of range, or an unknown hemisphere or
// validity letter. Extension fields after column 35 are ignored.
bool ParseBRecord(std::string_view line, IgcFix& fix);

// Degrees x 100000 that the IGC writer prints as these thousandths of a
// minute (the smallest such value: the writer truncates).
int32_t HundredThousandthsFromMinutes(int thousandthsOfMinute);
// Feet that the IGC writer prints as these metres (it truncates feet x 0.3048),
// clamped to what a point holds.
int16_t FeetFromIgcMetres(int32_t metres);
// Whether FeetFromIgcMetres clamps these metres, those beyond
// -kMostIgcMetresAPointHolds..kMostIgcMetresAPointHolds.
bool IgcMetresBeyondFeet(int32_t metres);
inline constexpr int32_t kMostIgcMetresAPointHolds = 32767 * 381 / 1250;  // 9987: 16-bit feet

// The date (day, month, year) of an HFDTE record in either form,
// "HFDTEDDMMYY" or "HFDTEDATE:DDMMYY,NN"; false when it names no real date.
bool ParseIgcDate(std::string_view line, int& year, int& month, int& day);

// Fills the table from IGC text. Never fails on content: lines that are not
// records it knows are passed over, and the result counts the fixes beyond
// the table and the altitudes clamped. Without a date record naming a real
// day the table is left empty and the status is NoFlightDate, or
// InvalidFlightDate when there is a record but its day does not exist.
DecodeResult DecodeIgcText(std::string_view text, TrackTable& table, const TimeBasis& basis,
                           const SegmentSink& sink = {});
DecodeResult DecodeIgcFile(const std::string& path, TrackTable& table, const TimeBasis& basis,
                           const SegmentSink& sink = {});

}  // namespace orvald
