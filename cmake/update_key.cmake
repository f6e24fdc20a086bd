# The public half of the key that signs update packages, built into the program. Releases
# use the committed key; a development build may name another (scripts/build.sh gives its
# builds a throw-away key of this machine). The program never takes a key from a file at run
# time.
set(CORVANDEL_UPDATE_KEY "${CMAKE_SOURCE_DIR}/update/release_key.pub.pem" CACHE FILEPATH
  "PEM file with the P-256 public key that update packages must be signed with")
find_program(OPENSSL_COMMAND openssl REQUIRED)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
set(key_der ${CMAKE_BINARY_DIR}/generated/update_key.der)
execute_process(COMMAND ${OPENSSL_COMMAND} pkey -pubin -in ${CORVANDEL_UPDATE_KEY} -outform DER
  -out ${key_der} RESULT_VARIABLE key_result ERROR_VARIABLE key_error)
if(NOT key_result EQUAL 0)
  message(FATAL_ERROR "Cannot read the update key ${CORVANDEL_UPDATE_KEY}: ${key_error}")
endif()
file(READ ${key_der} key_hex HEX)
# A P-256 key's SubjectPublicKeyInfo: a fixed 27-byte head ending in 04, then X and Y.
set(p256_head "3059301306072a8648ce3d020106082a8648ce3d03010703420004")
string(LENGTH "${key_hex}" key_length)
string(SUBSTRING "${key_hex}" 0 54 key_head)
if(NOT key_length EQUAL 182 OR NOT key_head STREQUAL p256_head)
  message(FATAL_ERROR "${CORVANDEL_UPDATE_KEY} is not an uncompressed P-256 public key")
endif()
string(SUBSTRING "${key_hex}" 54 128 key_xy)
string(REGEX REPLACE "(..)" "0x\\1," CORVANDEL_UPDATE_KEY_BYTES "${key_xy}")
configure_file(${CMAKE_SOURCE_DIR}/update/update_key.h.in ${CMAKE_BINARY_DIR}/generated/update_key.h
  @ONLY)
# The release script checks that it signs with the half of the key this build trusts.
configure_file(${CORVANDEL_UPDATE_KEY} ${CMAKE_BINARY_DIR}/update_key.pub.pem COPYONLY)
