// The names the command line gives the 21 fields, in its output and JSON:
// MASTER1 to MASTER8, SERVICE, SMS1_number, SMS1_text ... SMS6_text.
#pragma once

#include <string>

#include "config/config_fields.h"

std::string FieldLabel(config::ConfigField field);
