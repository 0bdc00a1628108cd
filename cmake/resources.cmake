# win32_add_resources(<target> <manifest>): embeds the resources that <manifest>
# lists into <target>, to be found with FindResourceW / LoadStringW.
function(win32_add_resources target manifest)
endfunction()
