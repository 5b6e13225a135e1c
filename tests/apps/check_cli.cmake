cmake_minimum_required(VERSION 3.18)
# The command-line program end to end, and its one-line errors for bad options and records.
file(REMOVE_RECURSE ${WORK_DIR})
set(W ${WORK_DIR})
file(MAKE_DIRECTORY ${W}/chest ${W}/safe)

# run(exit-code text args...): the program exits with the code and prints the text.
function(run expect_rc expect_text)
  execute_process(COMMAND ${CLI} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(FIND "${out}${err}" "${expect_text}" at)
  if(NOT rc EQUAL expect_rc OR at EQUAL -1)
    message(FATAL_ERROR "tessivar ${ARGN}: exit ${rc} (expected ${expect_rc}) without '${expect_text}':\n${out}\n${err}")
  endif()
endfunction()
function(expect_in file text)  # a missing file fails the read
  file(READ ${file} content)
  string(FIND "${content}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file} lacks '${text}'")
  endif()
endfunction()

# Paced, 60/min: ~100 beats counted after 300 s of learning, all matched (truth itself and the run).
run(0 "sim: " simulate ${W}/sim --seconds 400 --hr 60 --pace)
run(0 "100.00   100.00" eval ${W}/sim --test atr)
run(0 "400000 frames (400.0 s) at 1000 Hz, wire 12, format SLR, 8 leads mapped + respiration"
    run ${W}/sim --out-dir ${W} --pace-filter 1 --quiet)
expect_in(${W}/sim_out.hea "sim_out 15 1000 400000")  # one output frame per input frame, 15 words
run(0 "100.00   100.00" eval ${W}/sim --test-dir ${W})
run(1 "cannot open" eval ${W}/missing)

# I and II relabelled: the automatic choice settles on a chest lead and scores the same.
file(READ ${W}/sim.hea header)
string(REGEX REPLACE " 0 (II?)\n" " 0 X\\1\n" header "${header}")  # XI, XII: no lead
file(WRITE ${W}/chest/sim.hea "${header}")
file(COPY ${W}/sim.dat ${W}/sim.atr DESTINATION ${W}/chest)
run(0 "6 leads mapped" run ${W}/chest/sim --out-dir ${W}/chest --hr-lead auto --pace-filter 1 --quiet)
run(0 "100.00   100.00" eval ${W}/chest/sim --test-dir ${W}/chest)
run(2 "does not carry that lead (it has V1, V2" run ${W}/chest/sim --hr-lead II --out-dir ${W}/chest)

run(0 "module dumps in" run ${W}/sim --seconds 20 --qrs-method 2 --out-dir ${W} --quiet --data-path ${W}/dump)
foreach(f beat_detect/beat_detect.conf beat_detect/rdetect_out.csv pace_remove/pace_remove.conf
          linear_spline/linear_spline.conf sig_quality/sig_quality.conf resp/s_resp.conf)
  expect_in(${W}/dump/${f} "")
endforeach()
run(0 "sim.svg" plot ${W}/sim --out-dir ${W} --leads II,V2)
expect_in(${W}/sim.svg "</svg>")
run(0 "display delay" demo ${W}/demo --seconds 20)
# The 60 Hz comb: 2825 steps; the safety profile reports its delay, 3 steps a sample: ceil(2825 / 3) = 942.
run(0 "display delay 2825 samples" run ${W}/sim --seconds 5 --filter 0.05,60,off --out-dir ${W}/safe --quiet)
run(0 "display delay 942 samples" run ${W}/sim --seconds 5 --filter 0.05,60,off --out-dir ${W}/safe --quiet --safe)

run(0 "sim2: " simulate ${W}/sim2 --seconds 3)
run(0 "3000 frames" run ${W}/sim2 --out-dir ${W}/new/deeper --quiet)  # folders created
# The first and last accepted value of every bounded option.
run(0 "3000 frames" run ${W}/sim2 --out-dir ${W} --quiet --block 1 --noise-threshold 0 --pace-remove-ms 1
    --pace-filter 0 --qrs-method 0 --fuzz 0 --sub-uv 0 --lsb 1 --fs 1000)
run(0 "6000 frames" run ${W}/sim2 --out-dir ${W} --quiet --block 1000000 --noise-threshold 100 --pace-remove-ms 99
    --pace-filter 1 --qrs-method 3 --fuzz 1 --fs 2000)
# One past them, overflowing numbers and names the library refuses. Each row: expected text|option|value.
set(bad_options
  "--block must be from 1 to 1000000|block|1000001" "--block must be from 1|block|0" "whole number|block|1.5"
  "--block must be from 1|block|4294967296" "--seconds must be from|seconds|1e300" "--seconds must be|seconds|0"
  "--tail-ms must be from|tail-ms|1e15" "--noise-threshold must be from 0 to 100|noise-threshold|101"
  "--noise-threshold must be from 0|noise-threshold|-1" "--pace-remove-ms must be from 1 to 99|pace-remove-ms|100"
  "--pace-remove-ms must be from 1|pace-remove-ms|0" "--pace-filter must be from 0 to 1|pace-filter|2"
  "--fuzz must be from 0 to 1|fuzz|7" "--qrs-method must be from 0 to 3|qrs-method|4" "--qrs-method must|qrs-method|-1"
  "--sub-uv must be from 0|sub-uv|-2147483648" "--suffocation must be from 0|suffocation|-5" "--lsb must be|lsb|0"
  "--resp-scale must be from|resp-scale|1e300" "--fs must be 1000 or 2000|fs|500" "three names|filter|0.67"
  "--resp-lead was refused by the library|resp-lead|V1" "--filter was refused by the library|filter|a,b,c"
  "--filter was refused by the library|filter|0.67,50,41" "--filter-mode was refused by the library|filter-mode|Cry"
  "--qrs-mode was refused by the library|qrs-mode|infant" "--hr-lead XYZ: sim2 does not carry that lead|hr-lead|XYZ")
foreach(row ${bad_options})
  string(REGEX MATCH "^([^|]+)[|]([^|]+)[|](.+)$" row "${row}")
  run(2 "${CMAKE_MATCH_1}" run ${W}/sim2 --out-dir ${W} --quiet --${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
endforeach()
run(1 "'aVR' is not an input lead" run ${W}/sim --leads aVR=I --out-dir ${W})
run(1 "no signal described 'XYZ'" run ${W}/sim --leads II=XYZ --out-dir ${W})
run(2 "unknown option --bogus" simulate ${W}/x --bogus)
run(2 "--fs must be 1000 or 2000" simulate ${W}/x --fs 500)
run(2 "takes a number" simulate ${W}/x --hr fast)
run(2 "usage:" no-such-command)
# Records that cannot give one frame or cannot be read: exit 1 and the reader's message.
file(WRITE ${W}/fast.hea "fast 1 100000 1\nfast.dat 16 200 16 0 0 0 0 II\n")
file(WRITE ${W}/fast.dat "AA")
run(1 "resample: no sample is left" run ${W}/fast --out-dir ${W} --quiet)
file(WRITE ${W}/bad.hea "bad 1 1000 10\nbad.dat 99 200 16 0 0 0 0 I\n")
run(1 "bad.hea: unsupported signal format '99'" eval ${W}/bad)

# The .qrs files read back by an independent reader give eval's counts.
if(EXISTS /usr/bin/python3)
  get_filename_component(tools ${CMAKE_CURRENT_LIST_DIR}/../../tools ABSOLUTE)
  execute_process(COMMAND /usr/bin/python3 ${tools}/qrs_readback.py --test-dir ${W} --check-eval ${CLI} ${W}/sim
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(FIND "${out}" "agrees on 2 of 2 rows" at)
  if(NOT rc EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "qrs_readback.py: exit ${rc}\n${out}\n${err}")
  endif()
endif()
