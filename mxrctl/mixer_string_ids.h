#pragma once
// The mixer-control texts both programs show (the about box, the control
// descriptions and the selection dialog); mxrctl/mixer_strings.rc holds them.

#define IDS_MIXER 20000
#define IDS_DESTINATION 20001
#define IDS_CONTROL 20002
#define IDS_CHANNELS 20003
#define IDS_BALANCE 20004
#define IDS_DEFAULT_MIXER 20005
