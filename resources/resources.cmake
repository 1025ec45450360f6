# Icons and sounds drawn by resources/make_resources.py, compiled into `terminal`.
# Programs call initTerminalResources() (scalewidgettree.h) once, as the library is static.
target_sources(terminal PRIVATE ${CMAKE_SOURCE_DIR}/resources/resources.qrc)
