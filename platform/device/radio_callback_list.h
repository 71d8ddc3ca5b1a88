// The callbacks the image hands the radio layer, which calls them in ARM state from its own thread.
// Read by arm_entry_points.S (an ARM entry point each), by the build (a --wrap each) and by the
// image audits. Each line is RADIO_CALLBACK(name); the includer defines RADIO_CALLBACK.
RADIO_CALLBACK(RILFunc)
RADIO_CALLBACK(RILNotify)
RADIO_CALLBACK(RILQueryFunc)
