# tarn push to system.deploy's targets with the real tools: rsync over an
# sshd the test starts on 127.0.0.1, rclone into SFTP and WebDAV folders
# (rclone serve webdav). Needs openssh-server, openssh-client, rsync and
# rclone (scripts/setup.sh test installs them); skipped, saying why, when
# sshd cannot start.
add_test(NAME publish_targets
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/publish_targets_test.py
                 --tarn ${CMAKE_BINARY_DIR}/tarn --source ${CMAKE_SOURCE_DIR})
set_tests_properties(publish_targets PROPERTIES TIMEOUT 600 LABELS e2e)
