for(var i=0;i<10;i++){if(i%2)continue
do i++
while(i<5)}for(const k in{a:1})void k
while(false)/re/.test("")
switch(i){case 1:{break}default:/d/.test("")}try{throw new Error("x")}catch{}finally{}try{f()}catch(e){e}