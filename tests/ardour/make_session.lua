-- Builds the session for ardour_check.sh with Ardour's own Lua session tool:
-- one stereo track whose region holds the test input (a region of silence
-- is bounced here; the script then fills its two files), the plug-in on the
-- track with the given parameter values, and a range to export that starts
-- a second of silence before the region and ends a second after it.
local dir = os.getenv("TARVEL_SESSION_DIR")
local name = os.getenv("TARVEL_SESSION_NAME")
local rate = tonumber(os.getenv("TARVEL_RATE"))
local frames = tonumber(os.getenv("TARVEL_FRAMES"))
local offset = tonumber(os.getenv("TARVEL_OFFSET"))
local plugin = os.getenv("TARVEL_PLUGIN_NAME")  -- the name (VST 2.4) or URI (LV2)
local params = os.getenv("TARVEL_PARAMS")
-- LXVST (VST 2.4 on Linux) unless TARVEL_PLUGIN_TYPE names another type (VST3, LV2).
local plugin_type = ARDOUR.PluginType[os.getenv("TARVEL_PLUGIN_TYPE") or "LXVST"]

assert(create_session(dir, name, rate), "cannot create the session")
-- The region must reach the plug-in sample for sample: no fades.
Session:cfg():set_use_region_fades(false)

local track = Session:new_audio_track(2, 2, nil, 1, "Tarvel", -1, ARDOUR.TrackMode.Normal, true):front():to_track()
-- Ardour connects new tracks to the master bus from another thread, which
-- may not have run when the session is saved: connect them here.
local master = Session:master_out():input()
for channel = 0, 1 do
  local port = track:output():audio(channel)
  local other = master:audio(channel):name()
  if not port:connected_to(other) then track:output():connect(port, other, nil) end
  assert(port:connected_to(other), "cannot connect the track to the master bus")
end
local region = track:bounce_range(0, frames, ARDOUR.InterThreadInfo(), track:main_outs(), false, "input", false)
assert(not region:isnil(), "cannot make the region")
local playlist = track:playlist()
playlist:add_region(region, Temporal.timepos_t(offset), 1, false, 0, 0, false)
for r in playlist:region_list():iter() do
  r:to_audioregion():set_fade_in_active(false)
  r:to_audioregion():set_fade_out_active(false)
end

local proc = ARDOUR.LuaAPI.new_plugin(Session, plugin, plugin_type, "")
assert(not proc:isnil(), "Ardour does not list the plug-in " .. plugin)
track:add_processor_by_index(proc, 0, nil, true)
for index, value in string.gmatch(params, "(%d+) ([%d%.eE+-]+)") do
  assert(ARDOUR.LuaAPI.set_processor_param(proc, tonumber(index), tonumber(value)),
         "cannot set parameter " .. index)
end

-- Saved as a range marker; the script turns it into the session range.
Session:locations():add_range(Temporal.timepos_t(0), Temporal.timepos_t(offset + frames + rate))
Session:save_state("", false, false, false)
close_session()
print("session ready")
