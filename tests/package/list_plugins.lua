-- Prints the Linux VST plug-ins that Ardour's plug-in manager lists, one
-- "lxvst NAME FILE" line each. Ardour lists plug-ins only once a session is
-- loaded (and crashes when asked before).
assert(create_session(os.getenv("TARVEL_SESSION_DIR"), "list", 48000), "cannot create a session")
for info in ARDOUR.LuaAPI.list_plugins():iter() do
  if info.type == ARDOUR.PluginType.LXVST then print("lxvst " .. info.name .. " " .. info.path) end
end
close_session()
