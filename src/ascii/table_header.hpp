// The comment lines that --header puts before a table, each "# key: value",
// the keys named as GeoCSV and the EarthScope text services name them
// where they have a name:
//
//   source             the input path, as messages show it
//   SID                NET_STA_LOC_CHA, from KNETWK, KSTNM, KHOLE, KCMPNM
//   reference_time     NZYEAR, NZJDAY, NZHOUR, NZMIN, NZSEC, NZMSEC
//   start_time         reference_time plus the first line's x value
//   sample_interval_s  DELTA, and sample_rate_hz its inverse (evenly spaced)
//   sample_count       NPTS
//   latitude_deg, longitude_deg, elevation_m    STLA, STLO, STEL
//   field_unit         from IDEP
//   columns            what the two columns hold
//
// A key whose header fields are undefined (-12345), or out of range (a day
// 400, a text field with control bytes), is left out, never printed as the
// file holds it.
#pragma once

#include <string>

#include "sac/sac_file.hpp"

namespace sactab {

struct TableHeader {
    std::string source; // the input path, as messages show it
    RecordingFacts facts;
};

// The lines for a table whose first line's x value is `firstX` (NaN when
// there is none: an unevenly spaced file without samples). Reads DELTA, B
// and SACNPTS.
std::string table_header_lines(const TableHeader& header, double firstX);

} // namespace sactab
