# Authenticode signing of kit modules at build time, with a throwaway test CA
# made in the build tree (<build>/testca) by scripts/make-test-certs.sh.
# Windows build only. Works with osslsigncode 2.5 and 2.9.
#
# Signers (the <signer> argument):
#   brennick        "Brennick Corp."          halvreth        "Halvreth Corp."
#   brennick_upper  "BRENNICK CORP."          halvreth_lower  "halvreth corp."
#   brennick_nodot  "Brennick Corp"           brennick_labs   "Brennick Corp. Labs"
#   thirdparty      "Orrin Tools Ltd."        selfsigned      "Brennick Corp." (self-signed)
# All but selfsigned chain to the test CA (<build>/testca/ca.der), which
# kit/add_root_cert puts into the test prefix's LocalMachine ROOT store.
#
# Functions (an <output> that is relative lands in <build>/signed/):
#   tqn_sign_target(<target> <signer>)
#       signs the target's own file in place after every link; the file as
#       linked stays in <build>/unsigned/.
#   tqn_add_signed_copy(<target> <signer> <output> [FOR <consumers...>])
#   tqn_add_unsigned_copy(<target> <output> [FOR <consumers...>])
#   tqn_add_tampered_copy(<target> <signer> <output> [FOR <consumers...>])
#       signed, then one byte of .text changed.
#   tqn_add_nested_copy(<target> <first signer> <second signer> <output> [FOR <consumers...>])
#       two signatures; the first one is the primary signature.
# Each copy is rebuilt when the target's file or the certificates change, is
# part of "all", and is built before each FOR consumer.
include_guard(GLOBAL)

find_program(TQN_OSSLSIGNCODE osslsigncode REQUIRED)
find_program(TQN_OPENSSL openssl REQUIRED)
if(CMAKE_OBJDUMP)
  set(TQN_PE_OBJDUMP ${CMAKE_OBJDUMP})
else()
  find_program(TQN_PE_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
endif()

set(TQN_TESTCA_DIR ${CMAKE_BINARY_DIR}/testca CACHE INTERNAL "Test CA and signer certificates")
set(TQN_SIGNED_DIR ${CMAKE_BINARY_DIR}/signed CACHE INTERNAL "Signed copies of kit modules")
set(TQN_UNSIGNED_DIR ${CMAKE_BINARY_DIR}/unsigned CACHE INTERNAL "Targets signed in place, as linked")
set(TQN_SIGNERS brennick halvreth brennick_upper halvreth_lower brennick_nodot brennick_labs
    thirdparty selfsigned CACHE INTERNAL "Test signer ids")

# A CA folder made earlier by make-test-certs.sh, copied instead of a new CA:
# two builds that share it sign to the same bytes.
set(TQN_TEST_CA "$ENV{TQN_TEST_CA}" CACHE PATH "Test CA folder to sign with (empty: make one)")
set(_tqn_ca_inputs)
if(TQN_TEST_CA)
  set(_tqn_ca_inputs ${TQN_TEST_CA}/ca.pem ${TQN_TEST_CA}/brennick.key)
endif()

# The signing time written into each signature: the build's, not the clock's,
# so that a rebuild of one commit signs to the same bytes. TQN_SIGNING_TIME
# when given, else SOURCE_DATE_EPOCH, else the time of the checked-out commit.
set(TQN_SIGNING_TIME "" CACHE STRING "Unix time written into the signatures (empty: SOURCE_DATE_EPOCH, else the commit's time)")
set(_tqn_signing_time "${TQN_SIGNING_TIME}")
if(NOT _tqn_signing_time)
  set(_tqn_signing_time "$ENV{SOURCE_DATE_EPOCH}")
endif()
if(NOT _tqn_signing_time)
  execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE _tqn_signing_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE _tqn_git_status ERROR_QUIET)
  if(NOT _tqn_git_status EQUAL 0)
    set(_tqn_signing_time "")
  endif()
endif()
if(NOT _tqn_signing_time MATCHES "^[0-9]+$")
  message(WARNING "No signing time (TQN_SIGNING_TIME, SOURCE_DATE_EPOCH, a git checkout): signatures carry the clock's")
  set(_tqn_signing_time "")
endif()

set(_tqn_cert_script ${CMAKE_SOURCE_DIR}/scripts/make-test-certs.sh)
add_custom_command(
  OUTPUT ${TQN_TESTCA_DIR}/stamp
  COMMAND ${CMAKE_COMMAND} -E env TQN_TEST_CA=${TQN_TEST_CA} bash ${_tqn_cert_script} ${TQN_TESTCA_DIR}
  DEPENDS ${_tqn_cert_script} ${_tqn_ca_inputs}
  COMMENT "Making the test signing CA and certificates"
  VERBATIM)
add_custom_target(tqn_test_certs ALL DEPENDS ${TQN_TESTCA_DIR}/stamp)

# Changes one byte of the first code section (.text) of a PE file in place.
file(WRITE ${CMAKE_BINARY_DIR}/tqn-tamper.sh [=[
#!/bin/sh
set -eu
objdump=$1 file=$2
off=$("$objdump" -h "$file" | awk '$2 == ".text" { print $6; exit }')
[ -n "$off" ] || { echo "no .text in $file" >&2; exit 1; }
pos=$(( 0x$off + 16 ))
old=$(od -An -tu1 -j "$pos" -N1 "$file" | tr -d ' ')
new=$(( old ^ 255 ))
printf "$(printf '\\%03o' "$new")" | dd of="$file" bs=1 seek="$pos" conv=notrunc 2>/dev/null
]=])

function(_tqn_signer_files signer out_chain out_key)
  if(NOT signer IN_LIST TQN_SIGNERS)
    message(FATAL_ERROR "Unknown test signer '${signer}' (known: ${TQN_SIGNERS})")
  endif()
  set(${out_chain} ${TQN_TESTCA_DIR}/${signer}-chain.pem PARENT_SCOPE)
  set(${out_key} ${TQN_TESTCA_DIR}/${signer}.key PARENT_SCOPE)
endfunction()

# The osslsigncode command line that signs <in> into <out> (out must not exist).
function(_tqn_sign_command signer in out nest out_var)
  _tqn_signer_files(${signer} chain key)
  set(cmd ${TQN_OSSLSIGNCODE} sign)
  if(nest)
    list(APPEND cmd -nest)
  endif()
  list(APPEND cmd -certs ${chain} -key ${key} -h sha256)
  if(_tqn_signing_time)
    list(APPEND cmd -time ${_tqn_signing_time})
  endif()
  list(APPEND cmd -in ${in} -out ${out})
  set(${out_var} ${cmd} PARENT_SCOPE)
endfunction()

function(_tqn_output_path output out_var)
  if(IS_ABSOLUTE "${output}")
    set(${out_var} ${output} PARENT_SCOPE)
  else()
    set(${out_var} ${TQN_SIGNED_DIR}/${output} PARENT_SCOPE)
  endif()
endfunction()

# Declares the custom command for <out> and its target; the extra arguments
# are the COMMANDs that make <out>.part from the target's file.
function(_tqn_copy_rule target out consumers comment)
  cmake_path(GET out PARENT_PATH dir)
  file(RELATIVE_PATH rel ${CMAKE_BINARY_DIR} ${out})
  string(MAKE_C_IDENTIFIER "sign_${rel}" copy_target)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${out} ${out}.part
    ${ARGN}
    COMMAND ${CMAKE_COMMAND} -E rename ${out}.part ${out}
    DEPENDS ${target} $<TARGET_FILE:${target}> ${TQN_TESTCA_DIR}/stamp tqn_test_certs
    COMMENT "${comment}"
    VERBATIM)
  add_custom_target(${copy_target} ALL DEPENDS ${out})
  add_dependencies(${copy_target} tqn_test_certs ${target})
  foreach(consumer IN LISTS consumers)
    add_dependencies(${consumer} ${copy_target})
  endforeach()
endfunction()

function(tqn_sign_target target signer)
  set(file $<TARGET_FILE:${target}>)
  _tqn_sign_command(${signer} ${file} ${file}.signed OFF cmd)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TQN_UNSIGNED_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${file} ${TQN_UNSIGNED_DIR}/$<TARGET_FILE_NAME:${target}>
    COMMAND ${CMAKE_COMMAND} -E rm -f ${file}.signed
    COMMAND ${cmd}
    COMMAND ${CMAKE_COMMAND} -E rename ${file}.signed ${file}
    COMMENT "Signing ${target} as ${signer}"
    VERBATIM)
  add_dependencies(${target} tqn_test_certs)
endfunction()

function(tqn_add_signed_copy target signer output)
  cmake_parse_arguments(ARG "" "" "FOR" ${ARGN})
  _tqn_output_path(${output} out)
  _tqn_sign_command(${signer} $<TARGET_FILE:${target}> ${out}.part OFF sign)
  _tqn_copy_rule(${target} ${out} "${ARG_FOR}" "Signed copy ${output} (${signer})"
    COMMAND ${sign})
endfunction()

function(tqn_add_unsigned_copy target output)
  cmake_parse_arguments(ARG "" "" "FOR" ${ARGN})
  _tqn_output_path(${output} out)
  _tqn_copy_rule(${target} ${out} "${ARG_FOR}" "Unsigned copy ${output}"
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${out}.part)
endfunction()

function(tqn_add_tampered_copy target signer output)
  cmake_parse_arguments(ARG "" "" "FOR" ${ARGN})
  _tqn_output_path(${output} out)
  _tqn_sign_command(${signer} $<TARGET_FILE:${target}> ${out}.part OFF sign)
  _tqn_copy_rule(${target} ${out} "${ARG_FOR}" "Tampered copy ${output} (${signer})"
    COMMAND ${sign}
    COMMAND sh ${CMAKE_BINARY_DIR}/tqn-tamper.sh ${TQN_PE_OBJDUMP} ${out}.part)
endfunction()

function(tqn_add_nested_copy target first second output)
  cmake_parse_arguments(ARG "" "" "FOR" ${ARGN})
  _tqn_output_path(${output} out)
  _tqn_sign_command(${first} $<TARGET_FILE:${target}> ${out}.first OFF sign_first)
  _tqn_sign_command(${second} ${out}.first ${out}.part ON sign_second)
  _tqn_copy_rule(${target} ${out} "${ARG_FOR}" "Two-signature copy ${output} (${first}, ${second})"
    COMMAND ${CMAKE_COMMAND} -E rm -f ${out}.first
    COMMAND ${sign_first}
    COMMAND ${sign_second}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${out}.first)
endfunction()
