#pragma once

// Resource ids shared by hexlark.rc and the code.
#define HEXLARK_ICON_GROUP 1
#define HEXLARK_HEADING 101
#define HEXLARK_HEADING_2X 102
