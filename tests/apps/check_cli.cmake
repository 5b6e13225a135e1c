cmake_minimum_required(VERSION 3.18)
# The command-line program end to end: simulate a record, evaluate its true
# beats against themselves, and the one-line errors of bad input.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run expect_rc expect_text)
  execute_process(COMMAND ${CLI} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL expect_rc)
    message(FATAL_ERROR "tessivar ${ARGN}: exit ${rc}, expected ${expect_rc}\n${out}\n${err}")
  endif()
  string(FIND "${out}${err}" "${expect_text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "tessivar ${ARGN}: output lacks '${expect_text}':\n${out}\n${err}")
  endif()
endfunction()

run(0 "sim: " simulate ${WORK_DIR}/sim --seconds 400 --hr 60 --pace)
run(0 "gross" eval ${WORK_DIR}/sim --test atr)
# 400 s at about 60 beats per minute, 300 s of learning: about 100 counted beats, all matched.
run(0 "100.00   100.00" eval ${WORK_DIR}/sim --test atr)
run(1 "cannot open" eval ${WORK_DIR}/missing)
# run: the simulated (paced) record through the front end with pace removal;
# the output record has one frame per input frame.
run(0 "400000 frames (400.0 s) at 1000 Hz, wire 12, format SLR, 8 leads mapped + respiration"
    run ${WORK_DIR}/sim --out-dir ${WORK_DIR} --pace-filter 1 --quiet)
file(READ ${WORK_DIR}/sim_out.hea out_header)
string(FIND "${out_header}" "sim_out 15 1000 400000" at)
if(at EQUAL -1)
  message(FATAL_ERROR "output record header: ${out_header}")
endif()
# Every beat at its exact frame: the run's beats match the true ones, and
# eval shows the report latency from the run's event log.
run(0 "100.00   100.00" eval ${WORK_DIR}/sim --test-dir ${WORK_DIR})
run(0 "lat95 ms" eval ${WORK_DIR}/sim --test-dir ${WORK_DIR})
# The same record with I and II relabelled (chest leads only): the automatic
# lead choice settles on a chest lead and scores the same; naming an absent
# lead is an error.
file(MAKE_DIRECTORY ${WORK_DIR}/chest)
file(READ ${WORK_DIR}/sim.hea header)
string(REPLACE " 0 I\n" " 0 X1\n" header "${header}")
string(REPLACE " 0 II\n" " 0 X2\n" header "${header}")
file(WRITE ${WORK_DIR}/chest/sim.hea "${header}")
file(COPY ${WORK_DIR}/sim.dat ${WORK_DIR}/sim.atr DESTINATION ${WORK_DIR}/chest)
run(0 "6 leads mapped" run ${WORK_DIR}/chest/sim --out-dir ${WORK_DIR}/chest --hr-lead auto --pace-filter 1 --quiet)
run(0 "100.00   100.00" eval ${WORK_DIR}/chest/sim --test-dir ${WORK_DIR}/chest)
run(2 "does not carry that lead (it has V1, V2" run ${WORK_DIR}/chest/sim --hr-lead II --out-dir ${WORK_DIR}/chest)
# --data-path: the modules' dumps, one folder each.
run(0 "module dumps in" run ${WORK_DIR}/sim --seconds 20 --qrs-method 2 --out-dir ${WORK_DIR} --quiet
    --data-path ${WORK_DIR}/dump)
foreach(f beat_detect/beat_detect.conf beat_detect/rdetect_out.csv pace_remove/pace_remove.conf
          linear_spline/linear_spline.conf sig_quality/sig_quality.conf resp/s_resp.conf)
  if(NOT EXISTS ${WORK_DIR}/dump/${f})
    message(FATAL_ERROR "run --data-path wrote no ${f}")
  endif()
endforeach()
run(0 "sim.svg" plot ${WORK_DIR}/sim --out-dir ${WORK_DIR} --leads II,V2)
file(READ ${WORK_DIR}/sim.svg svg)
string(FIND "${svg}" "</svg>" at)
if(at EQUAL -1)
  message(FATAL_ERROR "strip chart is not a complete SVG document")
endif()
run(0 "display delay" demo ${WORK_DIR}/demo --seconds 20)
# --safe: the plain 60 Hz comb reports the delay it has (942 samples for
# 2825 steps at three steps per sample) instead of its step count.
file(MAKE_DIRECTORY ${WORK_DIR}/safe)
run(0 "display delay 2825 samples" run ${WORK_DIR}/sim --seconds 5 --filter 0.05,60,off --out-dir ${WORK_DIR}/safe --quiet)
run(0 "display delay 942 samples" run ${WORK_DIR}/sim --seconds 5 --filter 0.05,60,off --out-dir ${WORK_DIR}/safe --quiet
    --safe)
run(1 "'aVR' is not an input lead" run ${WORK_DIR}/sim --leads aVR=I --out-dir ${WORK_DIR})
run(1 "no signal described 'XYZ'" run ${WORK_DIR}/sim --leads II=XYZ --out-dir ${WORK_DIR})
run(2 "--filter takes three names" run ${WORK_DIR}/sim --filter 0.67 --out-dir ${WORK_DIR})
run(2 "unknown option --bogus" simulate ${WORK_DIR}/x --bogus)
run(2 "--fs must be 1000 or 2000" simulate ${WORK_DIR}/x --fs 500)
run(2 "takes a number" simulate ${WORK_DIR}/x --hr fast)
run(2 "usage:" no-such-command)
# Option values out of range: a message naming the option, exit 2; values
# the library refuses: exit 2 as well. Each row: expected text, option, value.
run(0 "sim2: " simulate ${WORK_DIR}/sim2 --seconds 3)
set(bad_options
  "--block must be from 1 to 1000000|block|4294967296"
  "--block must be from 1|block|0"
  "--seconds must be from|seconds|1e300"
  "--seconds must be from|seconds|0"
  "--tail-ms must be from|tail-ms|1e15"
  "--noise-threshold must be from 0 to 100|noise-threshold|300"
  "--noise-threshold must be from 0 to 100|noise-threshold|-1"
  "--pace-remove-ms must be from 1 to 99|pace-remove-ms|1000"
  "--pace-filter must be from 0 to 1|pace-filter|2"
  "--qrs-method must be from 0 to 3|qrs-method|-1"
  "--fuzz must be from 0 to 1|fuzz|7"
  "--sub-uv must be from 0|sub-uv|-2147483648"
  "--suffocation must be from 0|suffocation|-5"
  "--lsb must be from 1|lsb|0"
  "--resp-scale must be from|resp-scale|1e300"
  "--resp-lead was refused by the library|resp-lead|V1"
  "--filter was refused by the library|filter|a,b,c"
  "--filter was refused by the library|filter|0.67,50,41"
  "--filter-mode was refused by the library|filter-mode|Cry"
  "--qrs-mode was refused by the library|qrs-mode|infant"
  "--hr-lead XYZ: sim2 does not carry that lead|hr-lead|XYZ"
  "--fs must be 1000 or 2000|fs|500"
  "takes a whole number|block|1.5")
foreach(row ${bad_options})
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 text)
  list(GET row 1 option)
  list(GET row 2 value)
  run(2 "${text}" run ${WORK_DIR}/sim2 --out-dir ${WORK_DIR} --quiet --${option} ${value})
endforeach()
# An output folder that does not exist yet is created.
run(0 "3000 frames" run ${WORK_DIR}/sim2 --out-dir ${WORK_DIR}/new/deeper --quiet)
# Records that cannot give one frame, or that reach outside their folder.
file(WRITE ${WORK_DIR}/fast.hea "fast 1 100000 1\nfast.dat 16 200 16 0 0 0 0 II\n")
file(WRITE ${WORK_DIR}/fast.dat "AA")
run(1 "resample: no sample is left" run ${WORK_DIR}/fast --out-dir ${WORK_DIR} --quiet)
file(WRITE ${WORK_DIR}/huge.hea "huge 2 1000 3000000000\nfast.dat 16 200 16 0 0 0 0 II\nfast.dat 16 200 16 0 0 0 0 V1\n")
run(1 "3000000000 frames announced, 0 in the file" run ${WORK_DIR}/huge --out-dir ${WORK_DIR} --quiet)
file(WRITE ${WORK_DIR}/escape.hea "escape 1 1000\n../../../../../../dev/zero 16 200 16 0 0 0 0 II\n")
run(1 "must be a plain file name" run ${WORK_DIR}/escape --out-dir ${WORK_DIR} --quiet)
file(WRITE ${WORK_DIR}/bad.hea "bad 1 1000 10\nbad.dat 99 200 16 0 0 0 0 I\n")
run(1 "bad.hea: unsupported signal format '99'" eval ${WORK_DIR}/bad)
# The .qrs files read back by an independent reader give eval's counts.
if(EXISTS /usr/bin/python3)
  get_filename_component(tools ${CMAKE_CURRENT_LIST_DIR}/../../tools ABSOLUTE)
  execute_process(COMMAND /usr/bin/python3 ${tools}/qrs_readback.py --test-dir ${WORK_DIR} --check-eval ${CLI}
                          ${WORK_DIR}/sim
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(FIND "${out}" "agrees on 2 of 2 rows" at)
  if(NOT rc EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "qrs_readback.py: exit ${rc}\n${out}\n${err}")
  endif()
endif()
