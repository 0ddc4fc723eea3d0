# tarn push to system.deploy's targets with the real tools: rsync over an
# sshd the test starts on 127.0.0.1, rclone into SFTP, WebDAV (rclone serve
# webdav) and S3 (s3rver, tests/s3). Needs openssh-server, openssh-client,
# rsync, rclone and tests/s3/node_modules (scripts/setup.sh test installs
# them); skipped, saying why, when sshd cannot start.
add_test(NAME publish_targets
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/publish_targets_test.py
                 --tarn ${CMAKE_BINARY_DIR}/tarn --source ${CMAKE_SOURCE_DIR})
set_tests_properties(publish_targets PROPERTIES TIMEOUT 600 LABELS e2e)
