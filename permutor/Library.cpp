// The plug-in library is permutor_core linked whole; its exported C entry points live in
// entry/Exports.cpp. Everything else stays hidden so the host sees only those.
