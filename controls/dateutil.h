// Date settings the editor controls read.
#pragma once

// Whether the user's short date format, upper-cased, contains "YYYY"; read once, on first use.
bool YearHasFourDigits();

