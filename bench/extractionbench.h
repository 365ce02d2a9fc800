#pragma once

namespace pagrion::bench {

// Table extraction alone on a generated page of about 5 MB: parsing it and
// turning every table into row text, in MB of page per second.
bool runExtractionBench();

} // namespace pagrion::bench
