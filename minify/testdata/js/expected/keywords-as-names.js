var o={if:1,return:2,function:3,class:4,new:5,typeof:6,in:7,default:8};o.if=o.return/2/1;o.new
(o)
var m={function(){return 1},class(){},get in(){return 2}};promise.catch(function(){}).finally(function(){});